#include "recordings/archivecell.h"
#include "ui_archivecell.h"

#include "session/globalmanager.h"
#include "ui/theme.h"

#include <QContextMenuEvent>
#include <QHoverEvent>
#include <QMenu>

ArchiveCell::ArchiveCell(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::ArchiveCell)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_Hover);
    setAttribute(Qt::WA_StyledBackground);
    ui->preview->setPixmap(QPixmap(QStringLiteral(":/NoPreview.png")));
    ui->starIcon->hide();
    connect(ui->toolButton, &QToolButton::clicked, this,
            [this] { showMenu(ui->toolButton->mapToGlobal(ui->toolButton->rect().bottomRight())); });
}

ArchiveCell::~ArchiveCell()
{
    delete ui;
}

void ArchiveCell::setArchive(const Archive &newArchive)
{
    archive = newArchive;
    if (!archive.previewImage.isNull())
        ui->preview->setPixmap(QPixmap::fromImage(archive.previewImage));
    ui->nameLabel->setText(archive.name.isEmpty() ? archive.id : archive.name);
    ui->sizeLabel->setText(archive.fileSize());
    GlobalManager *manager = GlobalManager::sharedInstance();
    disconnect(manager, &GlobalManager::loadedImageForUrl, this, nullptr);
    if (archive.extendedPreviewUrl.isEmpty())
        return;
    connect(manager, &GlobalManager::loadedImageForUrl, this, [this](const QUrl &url, const QImage &strip) {
        if (url != QUrl(archive.extendedPreviewUrl) || strip.isNull())
            return;
        frameWidth = strip.height() * 16 / 9;
        archive.info.extendedPreviewFrameCount = frameWidth > 0 ? strip.width() / frameWidth : 0;
        archive.extendedPreviewImage = strip;
        image = QPixmap::fromImage(strip);
        showFrame(0);
    });
    manager->loadImage(QUrl(archive.extendedPreviewUrl));
}

void ArchiveCell::setWorkspace(const SharedWorkspace &newSpace)
{
    space = newSpace;
    ui->starIcon->setVisible(GlobalManager::sharedInstance()->isArchiveMarkedInWorkspace(archive, space));
}

bool ArchiveCell::isStarShown() const
{
    return !ui->starIcon->isHidden();
}

QRect ArchiveCell::frameRect(int n) const
{
    if (image.width() < (n + 1) * frameWidth || n < 0)
        n = 0;
    return QRect(n * frameWidth, 0, frameWidth, image.height());
}

QPixmap ArchiveCell::shownPicture() const
{
    return ui->preview->pixmap(Qt::ReturnByValue);
}

void ArchiveCell::showFrame(int n)
{
    if (image.isNull() || frameWidth <= 0)
        return;
    const QRect frame = frameRect(n);
    m_shownFrame = frame.x() / frameWidth;
    ui->preview->setPixmap(image.copy(frame));
}

bool ArchiveCell::event(QEvent *event)
{
    // Scrubbing needs the strip.
    if (!archive.extendedPreviewImage.isNull()) {
        switch (event->type()) {
        case QEvent::HoverEnter: ui->preview->beginHovering(); break;
        case QEvent::HoverMove: {
            hoverX = static_cast<QHoverEvent *>(event)->pos().x();
            ui->preview->hover(hoverX);
            const int count = archive.info.extendedPreviewFrameCount;
            // A strip narrower than one frame has no frames to step through.
            showFrame(count > 0 && width() > 0 ? (count * hoverX / width()) % count : 0);
            break;
        }
        case QEvent::HoverLeave:
            ui->preview->endHovering();
            showFrame(0);
            break;
        default: break;
        }
    }
    return QWidget::event(event);
}

void ArchiveCell::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && !ui->toolButton->geometry().contains(event->pos()))
        emit selectedArchiveFromWorkspace(archive, space);
    QWidget::mousePressEvent(event);
}

void ArchiveCell::contextMenuEvent(QContextMenuEvent *event)
{
    showMenu(event->globalPos());
}

void ArchiveCell::showMenu(const QPoint &globalPosition)
{
    delete menu;
    menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("cellMenu"));
    menu->setStyleSheet(QStringLiteral("background-color: %1; color: white;")
                            .arg(Theme::styleColor(Theme::popupCellBackground)));
    QAction *markAction = menu->addAction(tr("Mark for later"));
    markAction->setCheckable(true);
    markAction->setChecked(GlobalManager::sharedInstance()->isArchiveMarkedInWorkspace(archive, space));
    connect(markAction, &QAction::toggled, this, [this](bool marked) {
        ui->starIcon->setVisible(marked);
        emit markedForLaterChanged(marked);
    });
    menu->popup(globalPosition);
}
