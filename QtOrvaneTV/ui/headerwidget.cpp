#include "ui/headerwidget.h"

#include "ui_headerwidget.h"

#include <QResizeEvent>

HeaderWidget::HeaderWidget(QWidget *parent, const QString &text)
    : QWidget(parent)
    , ui(new Ui::HeaderWidget)
    , lastWidth(parent ? parent->width() : 0)
{
    ui->setupUi(this);
    // The style sheet's background is painted for this plain widget too.
    setAttribute(Qt::WA_StyledBackground);
    ui->titleLabel->setText(text);
}

HeaderWidget::~HeaderWidget()
{
    delete ui;
}

QString HeaderWidget::text() const
{
    return ui->titleLabel->text();
}

QSize HeaderWidget::minimumSizeHint() const
{
    return QSize(lastWidth, 30);
}

void HeaderWidget::resizeEvent(QResizeEvent *event)
{
    lastWidth = event->size().width();
    QWidget::resizeEvent(event);
}
