#ifndef APPTOOLBUTTON_H
#define APPTOOLBUTTON_H

#include <QColor>
#include <QIcon>
#include <QToolButton>

// A tool button whose icon is tinted: the selected colour when selected, white
// otherwise, on a faint orange background when selected.
class AppToolButton : public QToolButton
{
    Q_OBJECT

public:
    explicit AppToolButton(QWidget *parent = nullptr);

    void setSelected(bool selected);
    bool isSelected() const { return selected; }
    void setSelectedColor(const QColor &color);
    // Sets the icon and tints it at once.
    void setSourceIcon(const QIcon &icon);

private:
    void restyle();

    bool selected = false;
    QColor selectedColor;
};

#endif // APPTOOLBUTTON_H
