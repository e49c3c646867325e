#ifndef MYCHATCELL_H
#define MYCHATCELL_H

#include "chatcell.h"

namespace Ui {
class MyChatCell;
}

// A message of the signed-in user: a bubble on the right.
class MyChatCell : public ChatCell
{
    Q_OBJECT
public:
    MyChatCell(const QString &image, QWidget *parent = nullptr);
    ~MyChatCell() override;

private:
    Ui::MyChatCell *ui;
};

#endif // MYCHATCELL_H
