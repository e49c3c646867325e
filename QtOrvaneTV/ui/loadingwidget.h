#ifndef LOADINGWIDGET_H
#define LOADINGWIDGET_H

#include <QWidget>

class QTimer;

namespace Ui {
class LoadingWidget;
}

// The loading overlay: three dots lit in turn (middle, right, none, left, ...)
// until stop().
class LoadingWidget : public QWidget
{
    Q_OBJECT

public:
    explicit LoadingWidget(QWidget *parent = nullptr, int intervalMs = 150);
    ~LoadingWidget() override;

    void stop();
    // Which dot is lit: 0 left, 1 middle, 2 right, -1 none.
    int litDot() const;

signals:
    void done();

private slots:
    void tick();

private:
    Ui::LoadingWidget *ui;
    QTimer *timer;
    int highlightedDot = 1;
};

#endif // LOADINGWIDGET_H
