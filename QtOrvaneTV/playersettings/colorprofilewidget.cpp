#include "playersettings/colorprofilewidget.h"
#include "ui_colorprofilewidget.h"

#include "playersettings/colorcellwidget.h"
#include "session/globalmanager.h"

ColorProfileWidget::ColorProfileWidget(QWidget *parent, bool selectingColorRange,
                                       const PlayerSettings &settings)
    : QWidget(parent)
    , ui(new Ui::ColorProfileWidget)
    , m_selectingColorRange(selectingColorRange)
    , settings(settings)
{
    ui->setupUi(this);
    m_row = selectingColorRange ? settings.colorRange : settings.colorProfile;
    const int entries
        = selectingColorRange ? GlobalManager::numColorRanges() : GlobalManager::numColorSpaces();
    for (int i = 0; i < entries; ++i) {
        auto *item = new QListWidgetItem(ui->listWidget);
        auto *cell = new ColorCellWidget(ui->listWidget);
        cell->setText(selectingColorRange ? GlobalManager::colorRangeText(i)
                                          : GlobalManager::colorSpaceText(i));
        cell->setIndex(i);
        item->setSizeHint(cell->sizeHint());
        ui->listWidget->setItemWidget(item, cell);
        connect(cell, &ColorCellWidget::cellClicked, this, [this](ColorCellWidget *, int row) {
            ui->listWidget->setCurrentRow(row);
            markRow(row);
            if (m_selectingColorRange)
                emit rangeSelected(row);
            else
                emit profileSelected(row);
        });
    }
    markRow(m_row);
    setWindowTitle(selectingColorRange ? tr("Select Color Range") : tr("Select Color Profile"));
}

ColorProfileWidget::~ColorProfileWidget()
{
    delete ui;
}

int ColorProfileWidget::count() const
{
    return ui->listWidget->count();
}

ColorCellWidget *ColorProfileWidget::cell(int row) const
{
    return qobject_cast<ColorCellWidget *>(ui->listWidget->itemWidget(ui->listWidget->item(row)));
}

void ColorProfileWidget::markRow(int row)
{
    for (int i = 0; i < count(); ++i)
        cell(i)->setSelected(i == row);
}

void ColorProfileWidget::setProfile(int row)
{
    m_row = row;
    markRow(row);
}
