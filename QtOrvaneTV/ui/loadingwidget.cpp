#include "ui/loadingwidget.h"

#include "ui/theme.h"
#include "ui_loadingwidget.h"

#include <QTimer>

LoadingWidget::LoadingWidget(QWidget *parent, int intervalMs)
    : QWidget(parent)
    , ui(new Ui::LoadingWidget)
    , timer(new QTimer)
{
    ui->setupUi(this);
    // The form's gradient is a style-sheet background: paint it.
    setAttribute(Qt::WA_StyledBackground);
    for (DotWidget *dot : {ui->leftDot, ui->midDot, ui->rightDot})
        dot->setColor(Theme::loadingDot);
    timer->setInterval(intervalMs);
    connect(timer, &QTimer::timeout, this, &LoadingWidget::tick);
    timer->start();
}

LoadingWidget::~LoadingWidget()
{
    timer->stop();
    delete timer;
    delete ui;
}

void LoadingWidget::stop()
{
    timer->stop();
    emit done();
}

int LoadingWidget::litDot() const
{
    if (ui->leftDot->isHighlighted())
        return 0;
    if (ui->midDot->isHighlighted())
        return 1;
    if (ui->rightDot->isHighlighted())
        return 2;
    return -1;
}

void LoadingWidget::tick()
{
    const int step = highlightedDot % 4;
    ui->leftDot->setHighlighted(step == 0);
    ui->midDot->setHighlighted(step == 1);
    ui->rightDot->setHighlighted(step == 2);
    highlightedDot = (highlightedDot + 1) % 4;
    ui->leftDot->update();
    ui->midDot->update();
    ui->rightDot->update();
}
