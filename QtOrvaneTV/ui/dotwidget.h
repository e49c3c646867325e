#ifndef DOTWIDGET_H
#define DOTWIDGET_H

#include <QColor>
#include <QWidget>

// One round dot, full colour when highlighted and faint otherwise.
class DotWidget : public QWidget
{
    Q_OBJECT

public:
    explicit DotWidget(QWidget *parent = nullptr, const QColor &color = QColor());

    // Both only store the value; the owner asks for the repaint.
    void setColor(const QColor &color) { m_color = color; }
    void setHighlighted(bool highlighted) { m_highlighted = highlighted; }
    bool isHighlighted() const { return m_highlighted; }
    QColor color() const { return m_color; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_highlighted = false;
    QColor m_color;
};

#endif // DOTWIDGET_H
