#ifndef COLORPROFILEWIDGET_H
#define COLORPROFILEWIDGET_H

#include "session/playersettings.h"

#include <QWidget>

class ColorCellWidget;

namespace Ui {
class ColorProfileWidget;
}

// The list of colour profiles, or of colour ranges, with the current one checked.
class ColorProfileWidget : public QWidget
{
    Q_OBJECT

public:
    ColorProfileWidget(QWidget *parent, bool selectingColorRange, const PlayerSettings &settings);
    ~ColorProfileWidget() override;

    void setProfile(int row);
    int currentRow() const { return m_row; }
    ColorCellWidget *cell(int row) const;
    int count() const;

signals:
    void profileSelected(int row);
    void rangeSelected(int row);

private:
    void markRow(int row);

    Ui::ColorProfileWidget *ui;
    int m_row = 0;
    bool m_selectingColorRange;
    PlayerSettings settings;
};

#endif // COLORPROFILEWIDGET_H
