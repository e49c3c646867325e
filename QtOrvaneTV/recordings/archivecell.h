#ifndef ARCHIVECELL_H
#define ARCHIVECELL_H

#include "archive.h"
#include "sharedworkspace.h"

#include <QPixmap>
#include <QPointer>
#include <QWidget>

class QMenu;

namespace Ui {
class ArchiveCell;
}

// One recording in the browser: its picture (scrubbed through the extended
// preview strip as the mouse moves over it), name, size and the marked star.
class ArchiveCell : public QWidget
{
    Q_OBJECT

public:
    explicit ArchiveCell(QWidget *parent = nullptr);
    ~ArchiveCell() override;

    void setArchive(const Archive &archive);
    Archive getArchive() const { return archive; }
    void setWorkspace(const SharedWorkspace &space);
    bool isStarShown() const;
    // The frame of the strip shown now (-1 before the strip arrived).
    int shownFrame() const { return m_shownFrame; }
    // Frame n of the strip: frame 0 where the strip is narrower.
    QRect frameRect(int n) const;
    QPixmap shownPicture() const;

signals:
    void markedForLaterChanged(bool marked);
    void selectedArchiveFromWorkspace(Archive archive, SharedWorkspace space);

protected:
    bool event(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void showFrame(int n);
    void showMenu(const QPoint &globalPosition);

    Ui::ArchiveCell *ui;
    QPointer<QMenu> menu;
    Archive archive;
    SharedWorkspace space;
    QPixmap image;
    int frameWidth = 0;
    int hoverX = 0;
    int m_shownFrame = -1;
};

#endif // ARCHIVECELL_H
