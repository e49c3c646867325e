#ifndef COLORCELLWIDGET_H
#define COLORCELLWIDGET_H

#include <QWidget>

class QCheckBox;

// One entry of a colour list: a check box with the entry's text.
class ColorCellWidget : public QWidget
{
    Q_OBJECT

public:
    explicit ColorCellWidget(QWidget *parent = nullptr);

    void setText(const QString &text);
    QString text() const;
    void setSelected(bool selected);
    bool isSelected() const;
    void setIndex(int index) { m_index = index; }
    int index() const { return m_index; }
    QCheckBox *checkBox() const { return box; }

signals:
    void cellClicked(ColorCellWidget *cell, int index);

private:
    QCheckBox *box;
    int m_index = 0;
};

#endif // COLORCELLWIDGET_H
