#include "recordings/recordingsselectionwidget.h"
#include "ui_recordingsselectionwidget.h"

#include "recordings/archivecell.h"
#include "recordings/datepicker.h"
#include "session/globalmanager.h"
#include "ui/filterbutton.h"
#include "ui/flowlayout.h"
#include "ui/headerwidget.h"

#include <QScrollBar>
#include <QTimer>
#include <QtDebug>

#include <algorithm>

namespace {

constexpr int newestCells = 11;

// A grid that grows with its layout and never shrinks below what it had.
FlowLayout *growingLayout(QWidget *grid)
{
    return new FlowLayout(grid, 8, -1, -1,
                          [grid](int height) { grid->setMaximumHeight(qMax(grid->height(), height)); });
}

} // namespace

RecordingsSelectionWidget::RecordingsSelectionWidget(QWidget *parent, const SharedWorkspace &space)
    : QWidget(parent)
    , ui(new Ui::RecordingsSelectionWidget)
    , space(space)
{
    ui->setupUi(this);
    ui->filterWidget->setAttribute(Qt::WA_StyledBackground);

    // Camera name buttons, one per distinct name, in code-point order.
    QStringList names;
    for (const Camera &camera : space.sharedCameras) {
        encoderSids.insert(camera.id, camera.name);
        if (!names.contains(camera.name))
            names << camera.name;
    }
    std::sort(names.begin(), names.end());
    encoderButtonsFlowLayout = new FlowLayout(ui->RecordingNamesContainer, 8);
    for (const QString &name : qAsConst(names)) {
        auto *button = new FilterButton(ui->RecordingNamesContainer);
        button->setText(name);
        button->setMinimumHeight(40);
        // The flow layout sizes itself from its items' maximum sizes.
        button->setMaximumSize(button->sizeHint().width() + 24, 40);
        connect(button, &QPushButton::clicked, this, [this, button, name] { nameClicked(button, name); });
        encoderButtonsFlowLayout->addWidget(button);
        m_nameButtons << button;
    }
    markedButton = new FilterButton(ui->RecordingFiltersContainer);
    markedButton->setObjectName(QStringLiteral("markedButton"));
    markedButton->setText(tr("Marked Clips"));
    markedButton->setMinimumHeight(40);
    dateButton = new FilterButton(ui->RecordingFiltersContainer);
    dateButton->setObjectName(QStringLiteral("dateButton"));
    dateButton->setText(tr("Date"));
    dateButton->setMinimumHeight(40);
    ui->RecordingFiltersContainer->layout()->addWidget(markedButton);
    ui->RecordingFiltersContainer->layout()->addWidget(dateButton);
    connect(markedButton, &QPushButton::clicked, this, &RecordingsSelectionWidget::markedClicked);
    connect(dateButton, &QPushButton::clicked, this, &RecordingsSelectionWidget::dateClicked);

    recordingsFlowLayout = growingLayout(ui->grid);
    markedRecordingsFlowLayout = growingLayout(ui->markedGrid);
    recentlyViewedFlowLayout = new FlowLayout(ui->recentlyViewedGrid, 8);
    allRecordingsFlowLayout = growingLayout(ui->allRecordingsGrid);
    populateRecordings(space.sharedRecords);
    ui->allRecordingsScrollArea->hide();
    connect(ui->allRecordingsScrollArea->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &RecordingsSelectionWidget::scrollViewDidScroll, Qt::QueuedConnection);
    ui->sortOrderButton->setIcon(QIcon(QStringLiteral("://Descending.png")));
    ui->sortOrderButton->setText(tr("Descending"));
    connect(ui->sortOrderButton, &QToolButton::clicked, this, &RecordingsSelectionWidget::sortClicked);
    connect(ui->showAllButton, &QToolButton::clicked, this, &RecordingsSelectionWidget::toggleAllRecordings);
    connect(ui->filterButton, &QToolButton::clicked, this, &RecordingsSelectionWidget::toggleFilter);

    connect(GlobalManager::sharedInstance(), &GlobalManager::gotSharedArchives, this,
            &RecordingsSelectionWidget::gotArchives);
    refresh();
}

RecordingsSelectionWidget::~RecordingsSelectionWidget()
{
    delete ui;
}

QVector<FilterButton *> RecordingsSelectionWidget::nameButtons() const
{
    return m_nameButtons;
}

QVector<ArchiveCell *> RecordingsSelectionWidget::cells(const QString &grid) const
{
    QVector<ArchiveCell *> found;
    if (QWidget *container = findChild<QWidget *>(grid)) {
        QLayout *layout = container->layout();
        for (int i = 0; layout && i < layout->count(); ++i)
            if (auto *cell = qobject_cast<ArchiveCell *>(layout->itemAt(i)->widget()))
                found << cell;
    }
    return found;
}

// ---- Pages -------------------------------------------------------------------------------

QVector<QString> RecordingsSelectionWidget::chosenCameraIds() const
{
    QVector<QString> ids;
    for (const QString &name : filteredNames) {
        QString smallest;
        for (auto it = encoderSids.begin(); it != encoderSids.end(); ++it) {
            if (it.value() == name) {
                smallest = it.key(); // keys are in order: the first is the smallest
                break;
            }
        }
        ids << smallest;
    }
    return ids;
}

void RecordingsSelectionWidget::refresh()
{
    // A filter chosen while a page loads is not lost: the list restarts with it
    // once that answer is in.
    if (isLoading) {
        m_refreshPending = true;
        return;
    }
    m_refreshPending = false;
    pagingTotal = 0;
    pagingOffset = 0;
    archives.clear();
    archivesByDate.clear();
    requestPage(0);
}

void RecordingsSelectionWidget::requestPage(int offset)
{
    isLoading = true;
    // Every page of one list asks for the same days: up to the day after the
    // last day, so that the last day is whole.
    GlobalManager::sharedInstance()->loadAllSharedArchives(space, chosenCameraIds(), offset, minDate.date(),
                                                           maxDate.isValid() ? maxDate.date().addDays(1)
                                                                             : QDate());
}

void RecordingsSelectionWidget::scrollViewDidScroll(int value)
{
    QScrollBar *bar = ui->allRecordingsScrollArea->verticalScrollBar();
    if (isLoading || bar->maximum() - value >= 200 || archives.size() >= pagingTotal)
        return;
    requestPage(pagingOffset);
}

void RecordingsSelectionWidget::gotArchives(const QVector<Archive> &page, const QVariantMap &paging,
                                            const QString &error)
{
    if (!isLoading)
        return; // another browser's request
    if (!error.isEmpty()) {
        // Loading stays marked: nothing more is asked until the space is opened again.
        qDebug() << "Error loading archives!" << error;
        return;
    }
    archives += page;
    if (paging.contains(QStringLiteral("total")))
        pagingTotal = paging.value(QStringLiteral("total")).toInt();
    if (paging.contains(QStringLiteral("count")))
        pagingOffset += paging.value(QStringLiteral("count")).toInt();
    for (const Archive &archive : page) {
        QVector<Archive> &day = archivesByDate[archive.createdAt.date()];
        const bool known
            = std::any_of(day.begin(), day.end(), [&](const Archive &a) { return a.id == archive.id; });
        if (!known)
            day.append(archive);
    }
    isLoading = false;
    if (m_refreshPending) {
        refresh();
        return;
    }
    populateAllRecordings();
    // The newest grid fills up to its 11 cells from the pages as they arrive.
    if (cells(QStringLiteral("grid")).size() < newestCells && ui->grid->layout()->count() < archives.size())
        populateRecordings(archives);
    // A list that does not fill the view yet cannot be scrolled: ask on while it
    // is shown, or while the newest grid still waits for recordings.
    QTimer::singleShot(0, this, [this] {
        if (isShowingAll || cells(QStringLiteral("grid")).size() < qMin(newestCells, pagingTotal))
            scrollViewDidScroll(ui->allRecordingsScrollArea->verticalScrollBar()->value());
    });
}

// ---- Filters and lists -------------------------------------------------------------------

RecordingsSelectionWidget::FilterContext RecordingsSelectionWidget::filterContext() const
{
    FilterContext context;
    for (const Archive &archive : GlobalManager::sharedInstance()->getAllSharedArchives())
        context.knownIds.insert(archive.id);
    context.cameraIds = chosenCameraIds();
    return context;
}

bool RecordingsSelectionWidget::shouldAddArchive(const Archive &archive, const FilterContext &context) const
{
    // Not among the space's recordings any more: deleted.
    if (!context.knownIds.contains(archive.id))
        return false;
    if (!filteredNames.isEmpty() && !filteredNames.contains(archive.encoderName)) {
        const bool byCamera
            = std::any_of(context.cameraIds.begin(), context.cameraIds.end(), [&](const QString &id) {
                  return !archive.cameraId.isEmpty() && id.contains(archive.cameraId);
              });
        if (!byCamera)
            return false;
    }
    if ((minDate.isValid() || maxDate.isValid())
        && !(minDate <= archive.createdAt && archive.createdAt <= maxDate))
        return false;
    if (isFilteringByMarked && !GlobalManager::sharedInstance()->isArchiveMarkedInWorkspace(archive, space))
        return false;
    return true;
}

void RecordingsSelectionWidget::clearGrid(QWidget *grid)
{
    QLayout *layout = grid->layout();
    while (QLayoutItem *item = layout->takeAt(0)) {
        if (QWidget *widget = item->widget()) {
            widget->hide();
            disconnect(GlobalManager::sharedInstance(), nullptr, widget, nullptr);
            disconnect(widget, nullptr, this, nullptr);
            // A rebuild may start from a signal of this very cell.
            widget->deleteLater();
        }
        delete item;
    }
}

ArchiveCell *RecordingsSelectionWidget::makeArchiveCell(QWidget *grid, const Archive &archive)
{
    auto *cell = new ArchiveCell(grid);
    cell->setArchive(archive);
    cell->setWorkspace(space);
    cell->setStyleSheet(grid == ui->allRecordingsGrid ? QStringLiteral("background: #1E2427;")
                                                      : QStringLiteral("background: black;"));
    grid->layout()->addWidget(cell);
    const QString id = archive.id;
    connect(GlobalManager::sharedInstance(), &GlobalManager::archivePreviewLoadedForId, cell,
            [cell, id](const QString &loaded, const QImage &preview) {
                if (loaded != id)
                    return;
                Archive updated = cell->getArchive();
                updated.previewImage = preview;
                cell->setArchive(updated);
            });
    GlobalManager::sharedInstance()->loadPreview(archive);
    connect(cell, &ArchiveCell::markedForLaterChanged, this, [this, cell](bool marked) {
        GlobalManager *manager = GlobalManager::sharedInstance();
        if (marked)
            manager->markArchiveInWorkspace(cell->getArchive(), space);
        else
            manager->unmarkArchiveInWorkspace(cell->getArchive(), space);
        populateRecordings(archives);
    });
    connect(cell, &ArchiveCell::selectedArchiveFromWorkspace, this,
            &RecordingsSelectionWidget::selectedArchiveInWorkspace);
    return cell;
}

void RecordingsSelectionWidget::populateRecordings(const QVector<Archive> &given)
{
    const QVector<Archive> list = archives.isEmpty() ? given : archives;
    clearGrid(ui->grid);
    for (int i = 0; i < list.size() && i < newestCells; ++i)
        makeArchiveCell(ui->grid, list.at(i));
    reloadMarkedRecordings();
    reloadRecentlyPlayedRecordings();
}

void RecordingsSelectionWidget::reloadMarkedRecordings()
{
    clearGrid(ui->markedGrid);
    const QVector<Archive> marked = GlobalManager::sharedInstance()->getAllMarkedArchives(space);
    for (const Archive &archive : marked)
        makeArchiveCell(ui->markedGrid, archive);
    ui->markedLabel->setVisible(!marked.isEmpty());
    ui->markedGrid->setVisible(!marked.isEmpty());
}

void RecordingsSelectionWidget::reloadRecentlyPlayedRecordings()
{
    clearGrid(ui->recentlyViewedGrid);
    const FilterContext context = filterContext();
    int shown = 0;
    for (const Archive &archive : GlobalManager::sharedInstance()->getAllRecentlyViewedArchives(space)) {
        if (!shouldAddArchive(archive, context))
            continue;
        makeArchiveCell(ui->recentlyViewedGrid, archive);
        ++shown;
    }
    ui->recentlyViewedLabel->setVisible(shown > 0);
    ui->recentlyViewedGrid->setVisible(shown > 0);
}

void RecordingsSelectionWidget::populateAllRecordings()
{
    clearGrid(ui->allRecordingsGrid);
    QList<QDate> days = archivesByDate.keys();
    if (!sortingAscending)
        std::reverse(days.begin(), days.end());
    // From the viewport, not the grid: the grid grows with its headers, and a
    // header sized from the grid would widen it at every rebuild.
    const int headerWidth = ui->allRecordingsScrollArea->viewport()->width() - 2 * 8 - 10;
    const FilterContext context = filterContext();
    for (const QDate &day : qAsConst(days)) {
        QVector<Archive> passing;
        for (const Archive &archive : archivesByDate.value(day))
            if (shouldAddArchive(archive, context))
                passing << archive;
        if (passing.isEmpty())
            continue;
        auto *header = new HeaderWidget(ui->allRecordingsGrid, day.toString(QStringLiteral("MMM dd, yyyy")));
        header->setMinimumWidth(qMax(100, headerWidth));
        header->setMaximumWidth(qMax(100, headerWidth));
        ui->allRecordingsGrid->layout()->addWidget(header);
        for (const Archive &archive : qAsConst(passing))
            makeArchiveCell(ui->allRecordingsGrid, archive);
    }
    const int width = ui->allRecordingsScrollArea->viewport()->width();
    ui->allRecordingsGrid->setMaximumHeight(qMax(900, allRecordingsFlowLayout->heightForWidth(width)));
}

void RecordingsSelectionWidget::applyFilters()
{
    populateRecordings(space.sharedRecords);
    populateAllRecordings();
}

// ---- Controls ----------------------------------------------------------------------------

void RecordingsSelectionWidget::toggleAllRecordings()
{
    isShowingAll = !isShowingAll;
    ui->showAllButton->setIcon(
        QIcon(isShowingAll ? QStringLiteral(":/UpArrow.png") : QStringLiteral(":/DownArrow.png")));
    updateAreas();
}

void RecordingsSelectionWidget::toggleFilter()
{
    isFiltering = !isFiltering;
    ui->RecordingsContainer->setVisible(isFiltering);
    ui->filterButton->setIcon(
        QIcon(isFiltering ? QStringLiteral(":/FilterShown.png") : QStringLiteral(":/FilterHidden.png")));
    updateAreas();
    applyFilters();
}

void RecordingsSelectionWidget::updateAreas()
{
    ui->allRecordingsScrollArea->setVisible(isShowingAll);
    ui->scrollArea->setVisible(!isShowingAll);
}

void RecordingsSelectionWidget::nameClicked(FilterButton *button, const QString &name)
{
    if (!isShowingAll)
        toggleAllRecordings();
    if (filteredNames.contains(name))
        filteredNames.remove(name);
    else
        filteredNames.insert(name);
    button->setHighlighted(filteredNames.contains(name));
    refresh();
}

void RecordingsSelectionWidget::markedClicked()
{
    isFilteringByMarked = !isFilteringByMarked;
    markedButton->setHighlighted(isFilteringByMarked);
    applyFilters();
}

void RecordingsSelectionWidget::dateClicked()
{
    if (picker) {
        picker->close();
        picker->deleteLater();
        picker.clear();
        dateButton->setHighlighted(false);
        minDate = QDateTime();
        maxDate = QDateTime();
        dateButton->setText(tr("Date"));
        refresh();
        return;
    }
    picker = new DatePicker(this);
    picker->setObjectName(QStringLiteral("datePicker"));
    connect(picker, &DatePicker::datesSelected, this, &RecordingsSelectionWidget::datesSelected);
    picker->adjustSize();
    const QPoint corner
        = ui->RecordingFiltersContainer->mapTo(this, ui->RecordingFiltersContainer->rect().bottomRight());
    QPoint place = corner + QPoint(dateButton->width() - picker->width(), 2 * dateButton->height() + 8);
    // Kept inside the browser, whatever its size.
    place.setX(qBound(0, place.x(), qMax(0, width() - picker->width())));
    place.setY(qBound(0, place.y(), qMax(0, height() - picker->height())));
    picker->move(place);
    picker->show();
    picker->raise();
    dateButton->setHighlighted(true);
}

void RecordingsSelectionWidget::datesSelected(const QDateTime &first, const QDateTime &last)
{
    minDate = first;
    maxDate = last;
    if (first.date().daysTo(last.date()) >= 1)
        dateButton->setText(QStringLiteral("%1 - %2").arg(first.toString(QStringLiteral("MMM dd")),
                                                          last.toString(QStringLiteral("MMM dd"))));
    else
        dateButton->setText(first.toString(QStringLiteral("MMM dd")));
    applyFilters();
    if (!isShowingAll)
        toggleAllRecordings();
    refresh();
}

void RecordingsSelectionWidget::sortClicked()
{
    sortingAscending = !sortingAscending;
    ui->sortOrderButton->setIcon(
        QIcon(sortingAscending ? QStringLiteral("://Ascending.png") : QStringLiteral("://Descending.png")));
    ui->sortOrderButton->setText(sortingAscending ? tr("Ascending") : tr("Descending"));
    populateAllRecordings();
}

void RecordingsSelectionWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int width = this->width() - 50;
    const int headerWidth = ui->allRecordingsScrollArea->viewport()->width() - 2 * 8 - 10;
    for (HeaderWidget *header : ui->allRecordingsGrid->findChildren<HeaderWidget *>())
        header->setFixedSize(qMax(100, qMin(width, headerWidth)), 30);
    for (QWidget *grid : {ui->allRecordingsGrid, ui->markedGrid, ui->grid})
        grid->setMaximumWidth(qMax(100, width));
}
