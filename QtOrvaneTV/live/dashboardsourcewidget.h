#ifndef DASHBOARDSOURCEWIDGET_H
#define DASHBOARDSOURCEWIDGET_H

#include "camera.h"

#include <QWidget>

namespace Ui {
class DashboardSourceWidget;
}

// A small tile of one live source: its latest snapshot (or the offline picture)
// and its name. It follows the snapshots the session model receives.
class DashboardSourceWidget : public QWidget
{
    Q_OBJECT

public:
    explicit DashboardSourceWidget(QWidget *parent = nullptr);
    ~DashboardSourceWidget() override;

    void setCameraId(const QString &id);
    QString cameraId() const { return camera.id; }
    Camera currentCamera() const { return camera; }
    void setHighlighted(bool highlighted);
    bool isHighlighted() const { return m_highlighted; }
    void setMinimumSize(int width, int height);
    // Tiles ask for their largest size (200 by 120); the strip caps them lower.
    QSize sizeHint() const override { return maximumSize(); }
    // The picture shown now.
    QPixmap picture() const;

signals:
    void selected(QString cameraId);

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void refresh();

    Ui::DashboardSourceWidget *ui;
    Camera camera;
    bool m_highlighted = false;
    QMetaObject::Connection m_snapshotConnection;
};

#endif // DASHBOARDSOURCEWIDGET_H
