#ifndef NAVIGATIONWIDGET_H
#define NAVIGATIONWIDGET_H

#include "navigation/rightbutton.h"

#include <QHash>
#include <QVector>
#include <QWidget>

#include <functional>

namespace Ui {
class NavigationWidget;
}

// The viewer's page stack: a bar with a back button, the top page's title and a
// right button for that page, above the top page. Pages that play video
// (VideoPage) are started when pushed and stopped when popped.
class NavigationWidget : public QWidget
{
    Q_OBJECT

public:
    explicit NavigationWidget(QWidget *parent = nullptr, QWidget *rootWidget = nullptr);
    ~NavigationWidget() override;

    QWidget *currentWidget() const;
    int count() const { return m_widgets.size(); }
    void pushWidget(QWidget *page);
    void popWidget();
    void popToRootWidget();
    void setWidgets(const QVector<QWidget *> &widgets);
    void removeWidget(QWidget *page, bool goingBack, std::function<void()> callback = {});
    void setButtonIcon(QWidget *page, const RightButton &button, std::function<void()> action);
    void enableRightButton();
    void disableRightButton();

private:
    void updateVisiblePage(bool goingBack, const std::function<void()> &completion);
    void updateRightButton();
    bool inContentArea(QWidget *page) const;

    Ui::NavigationWidget *ui;
    QVector<QWidget *> m_widgets;
    QHash<QWidget *, RightButton> icons;
    QHash<QWidget *, std::function<void()>> callbacks;
    QMetaObject::Connection m_rightButtonConnection;
};

#endif // NAVIGATIONWIDGET_H
