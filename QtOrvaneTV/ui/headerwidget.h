#ifndef HEADERWIDGET_H
#define HEADERWIDGET_H

#include <QWidget>

namespace Ui {
class HeaderWidget;
}

// A full-width section title; a FlowLayout starts a new row at it.
class HeaderWidget : public QWidget
{
    Q_OBJECT

public:
    explicit HeaderWidget(QWidget *parent = nullptr, const QString &text = QString());
    ~HeaderWidget() override;

    QString text() const;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    Ui::HeaderWidget *ui;
    int lastWidth = 0;
};

#endif // HEADERWIDGET_H
