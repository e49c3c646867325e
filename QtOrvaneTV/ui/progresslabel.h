#ifndef PROGRESSLABEL_H
#define PROGRESSLABEL_H

#include <QLabel>
#include <QPixmap>

// A picture (a recording's extended preview) with a green line where the pointer
// hovers; the line follows with the next setPixmap().
class ProgressLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ProgressLabel(QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());

    void setPixmap(const QPixmap &pixmap);
    void beginHovering();
    void hover(int x);
    void endHovering();
    bool hovering() const { return isHovering; }

private:
    QPixmap image;
    bool isHovering = false;
    int hoverX = 0;
};

#endif // PROGRESSLABEL_H
