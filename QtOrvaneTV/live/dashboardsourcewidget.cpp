#include "live/dashboardsourcewidget.h"
#include "ui_dashboardsourcewidget.h"

#include "session/globalmanager.h"
#include "ui/theme.h"

#include <QMouseEvent>

DashboardSourceWidget::DashboardSourceWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::DashboardSourceWidget)
{
    ui->setupUi(this);
    setHighlighted(false);
}

DashboardSourceWidget::~DashboardSourceWidget()
{
    delete ui;
}

void DashboardSourceWidget::setCameraId(const QString &id)
{
    GlobalManager *manager = GlobalManager::sharedInstance();
    for (const SharedWorkspace &workspace : manager->getSharedWorkspaces()) {
        for (const Camera &candidate : workspace.sharedCameras) {
            if (candidate.id == id) {
                camera = candidate;
                break;
            }
        }
    }
    refresh();
    disconnect(m_snapshotConnection);
    m_snapshotConnection
        = connect(manager, &GlobalManager::updatedSnapshot, this, [this](const Camera &updated) {
              if (updated.id != camera.id)
                  return;
              camera = updated;
              refresh();
          });
}

void DashboardSourceWidget::refresh()
{
    ui->nameLabel->setText(camera.name);
    if (camera.sharedStream.status != QLatin1String("online")) {
        ui->backgroundImageView->setPixmap(QPixmap(QStringLiteral(":/CameraOfflineSmall.png")));
        return;
    }
    QPixmap preview;
    if (!preview.loadFromData(camera.sharedStream.previewImage))
        preview = QPixmap(QStringLiteral(":/NoPreview.png"));
    ui->backgroundImageView->setPixmap(preview);
}

QPixmap DashboardSourceWidget::picture() const
{
    return ui->backgroundImageView->pixmap(Qt::ReturnByValue);
}

void DashboardSourceWidget::setHighlighted(bool highlighted)
{
    m_highlighted = highlighted;
    QString style = QStringLiteral("border-radius: 8px;");
    if (highlighted)
        style += QStringLiteral("border: 2px solid %1").arg(Theme::styleColor(Theme::appOrange));
    ui->backgroundImageView->setStyleSheet(style);
}

void DashboardSourceWidget::setMinimumSize(int width, int height)
{
    QWidget::setMinimumSize(width, height);
    ui->backgroundImageView->setMinimumSize(width, height);
}

void DashboardSourceWidget::mouseReleaseEvent(QMouseEvent *event)
{
    emit selected(camera.id);
    QWidget::mouseReleaseEvent(event);
}

void DashboardSourceWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    ui->backgroundImageView->setGeometry(rect());
    ui->nameLabel->setGeometry(8, height() - 26, width() - 16, 22);
}
