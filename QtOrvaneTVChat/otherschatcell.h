#ifndef OTHERSCHATCELL_H
#define OTHERSCHATCELL_H

#include "chatcell.h"

namespace Ui {
class OthersChatCell;
}

// A message of another user: a bubble on the left under the sender's initials
// and name (shown only for the first message of a run).
class OthersChatCell : public ChatCell
{
    Q_OBJECT
public:
    OthersChatCell(const QString &image, const QString &name, QWidget *parent = nullptr);
    ~OthersChatCell() override;

    // The message reads as a link (a shared recording's name).
    void setSharedRecording();
    QString name() const;
    QString initials() const;
    bool isNameShown() const;

signals:
    void onSelect();

private:
    Ui::OthersChatCell *ui;
};

#endif // OTHERSCHATCELL_H
