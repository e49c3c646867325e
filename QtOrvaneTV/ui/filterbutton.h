#ifndef FILTERBUTTON_H
#define FILTERBUTTON_H

#include <QPushButton>

// A filter choice, outlined in orange while highlighted.
class FilterButton : public QPushButton
{
    Q_OBJECT

public:
    explicit FilterButton(QWidget *parent = nullptr);

    void setHighlighted(bool highlighted);
    bool isHighlighted() const { return m_highlighted; }

private:
    bool m_highlighted = false;
};

#endif // FILTERBUTTON_H
