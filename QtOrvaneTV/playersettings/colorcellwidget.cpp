#include "playersettings/colorcellwidget.h"

#include "ui/theme.h"

#include <QCheckBox>
#include <QHBoxLayout>

ColorCellWidget::ColorCellWidget(QWidget *parent)
    : QWidget(parent)
    , box(new QCheckBox(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(14, 6, 14, 6);
    layout->addWidget(box);
    box->setFont(Theme::mainFont(10));
    box->setStyleSheet(QStringLiteral("QCheckBox { color: white; font-family: \"HK Grotesk\"; }"));
    connect(box, &QCheckBox::clicked, this, [this] { emit cellClicked(this, m_index); });
}

void ColorCellWidget::setText(const QString &text)
{
    box->setText(text);
}

QString ColorCellWidget::text() const
{
    return box->text();
}

void ColorCellWidget::setSelected(bool selected)
{
    box->setChecked(selected);
}

bool ColorCellWidget::isSelected() const
{
    return box->isChecked();
}
