#ifndef RECORDINGSSELECTIONWIDGET_H
#define RECORDINGSSELECTIONWIDGET_H

#include "archive.h"
#include "recordings/datepicker.h"
#include "sharedworkspace.h"

#include <QDateTime>
#include <QMap>
#include <QPointer>
#include <QSet>
#include <QVariant>
#include <QVector>
#include <QWidget>

class ArchiveCell;
class FilterButton;
class FlowLayout;

namespace Ui {
class RecordingsSelectionWidget;
}

// The second tab of a space's page: an overview (the newest recordings, those
// marked for later, those viewed lately) and the full list by day, loaded page
// by page as it is scrolled, with filters by camera, marked state and days.
class RecordingsSelectionWidget : public QWidget
{
    Q_OBJECT

public:
    RecordingsSelectionWidget(QWidget *parent, const SharedWorkspace &space);
    ~RecordingsSelectionWidget() override;

    void reloadRecentlyPlayedRecordings();

    // What the browser shows, for the tests.
    QVector<ArchiveCell *> cells(const QString &grid) const;
    QVector<FilterButton *> nameButtons() const;
    FilterButton *markedFilterButton() const { return markedButton; }
    FilterButton *dateFilterButton() const { return dateButton; }
    DatePicker *datePicker() const { return picker; }
    int loadedCount() const { return archives.size(); }
    int total() const { return pagingTotal; }
    bool loading() const { return isLoading; }
    bool showingAll() const { return isShowingAll; }

signals:
    void selectedArchiveInWorkspace(Archive archive, SharedWorkspace space);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QVector<QString> chosenCameraIds() const;
    void refresh();
    void requestPage(int offset);
    void scrollViewDidScroll(int value);
    void gotArchives(const QVector<Archive> &page, const QVariantMap &paging, const QString &error);
    // What the filter rule needs from outside the recording, gathered once per
    // rebuild rather than once per recording (the lists are rebuilt on the GUI
    // thread, with hundreds of recordings).
    struct FilterContext
    {
        QSet<QString> knownIds;
        QVector<QString> cameraIds;
    };
    FilterContext filterContext() const;
    bool shouldAddArchive(const Archive &archive, const FilterContext &context) const;
    void clearGrid(QWidget *grid);
    ArchiveCell *makeArchiveCell(QWidget *grid, const Archive &archive);
    void populateRecordings(const QVector<Archive> &list);
    void reloadMarkedRecordings();
    void populateAllRecordings();
    void applyFilters();
    void toggleAllRecordings();
    void toggleFilter();
    void updateAreas();
    void nameClicked(FilterButton *button, const QString &name);
    void markedClicked();
    void dateClicked();
    void datesSelected(const QDateTime &first, const QDateTime &last);
    void sortClicked();

    Ui::RecordingsSelectionWidget *ui;
    SharedWorkspace space;
    FlowLayout *encoderButtonsFlowLayout;
    FlowLayout *recordingsFlowLayout;
    FlowLayout *markedRecordingsFlowLayout;
    FlowLayout *recentlyViewedFlowLayout;
    FlowLayout *allRecordingsFlowLayout;
    FilterButton *dateButton;
    FilterButton *markedButton;
    QSet<QString> filteredNames;
    QMap<QString, QString> encoderSids;
    bool isLoading = false;
    bool m_refreshPending = false;
    bool isFiltering = true;
    bool isShowingAll = false;
    bool isFilteringByMarked = false;
    bool sortingAscending = false;
    QPointer<DatePicker> picker;
    QDateTime minDate;
    QDateTime maxDate;
    QVector<Archive> archives;
    QMap<QDate, QVector<Archive>> archivesByDate;
    int pagingTotal = 0;
    int pagingOffset = 0;
    QVector<FilterButton *> m_nameButtons;
};

#endif // RECORDINGSSELECTIONWIDGET_H
