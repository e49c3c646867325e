#include "navigation/navigationwidget.h"

#include "ui/helpers.h"
#include "ui/loadingwidget.h"
#include "ui_navigationwidget.h"
#include "navigation/videopage.h"

#include <QPixmap>

NavigationWidget::NavigationWidget(QWidget *parent, QWidget *rootWidget)
    : QWidget(parent)
    , ui(new Ui::NavigationWidget)
{
    Helpers::initResources();
    ui->setupUi(this);
    setMinimumSize(300, 200);
    ui->backButton->setIcon(QIcon(QPixmap(QStringLiteral(":/BackButton.png"))));
    connect(ui->backButton, &QToolButton::clicked, this, &NavigationWidget::popWidget);
    setWidgets(rootWidget ? QVector<QWidget *>{rootWidget} : QVector<QWidget *>());
}

NavigationWidget::~NavigationWidget()
{
    // The pages go after this object's members: they must not call back.
    for (QWidget *page : icons.keys())
        disconnect(page, &QObject::destroyed, this, nullptr);
    delete ui;
}

QWidget *NavigationWidget::currentWidget() const
{
    return m_widgets.isEmpty() ? nullptr : m_widgets.last();
}

void NavigationWidget::setWidgets(const QVector<QWidget *> &widgets)
{
    m_widgets = widgets;
    for (QWidget *page : widgets)
        page->setParent(ui->rootWidget);
    updateVisiblePage(false, {});
    updateRightButton();
}

void NavigationWidget::pushWidget(QWidget *page)
{
    page->setParent(ui->rootWidget);
    if (m_widgets.isEmpty()) {
        setWidgets({page});
        return;
    }
    m_widgets.append(page);
    if (auto *video = dynamic_cast<VideoPage *>(page))
        video->start();
    updateVisiblePage(false, [this] { ui->rootWidget->repaint(); });
    updateRightButton();
}

void NavigationWidget::popWidget()
{
    QWidget *top = currentWidget();
    if (!top)
        return;
    removeWidget(top, true, [top] {
        // Playback ends before the page goes away.
        if (auto *video = dynamic_cast<VideoPage *>(top))
            video->stop();
        top->deleteLater();
    });
}

void NavigationWidget::removeWidget(QWidget *page, bool goingBack, std::function<void()> callback)
{
    if (!m_widgets.contains(page))
        return;
    m_widgets.removeOne(page);
    // The page keeps its right button and action: pushed again, it shows them.
    page->hide();
    updateVisiblePage(goingBack, callback);
    updateRightButton();
}

void NavigationWidget::popToRootWidget()
{
    // Unlike popWidget(), the pages above the root are only hidden, neither
    // stopped nor deleted: only a page the stack pops itself ends there; these
    // stay with whoever pushed them.
    while (m_widgets.size() > 1) {
        QWidget *page = m_widgets.takeLast();
        page->hide();
    }
    updateVisiblePage(true, {});
    updateRightButton();
}

void NavigationWidget::setButtonIcon(QWidget *page, const RightButton &button, std::function<void()> action)
{
    // Forgotten with the page, so that a later page at the same address does
    // not inherit them.
    if (!icons.contains(page))
        connect(page, &QObject::destroyed, this, [this, page] {
            icons.remove(page);
            callbacks.remove(page);
        });
    icons.insert(page, button);
    callbacks.insert(page, std::move(action));
    updateRightButton();
}

void NavigationWidget::enableRightButton()
{
    ui->rightButton->setEnabled(true);
}

void NavigationWidget::disableRightButton()
{
    ui->rightButton->setEnabled(false);
}

bool NavigationWidget::inContentArea(QWidget *page) const
{
    return ui->rootWidget->layout()->indexOf(page) >= 0;
}

void NavigationWidget::updateVisiblePage(bool goingBack, const std::function<void()> &completion)
{
    QLayout *content = ui->rootWidget->layout();
    const auto hideAllBut = [content](QWidget *keep) {
        for (int i = 0; i < content->count(); ++i) {
            QWidget *shown = content->itemAt(i)->widget();
            if (shown && shown != keep)
                shown->hide();
        }
    };

    QWidget *top = currentWidget();
    if (!top) {
        ui->titleLabel->clear();
        ui->backButton->hide();
        hideAllBut(nullptr);
        if (completion)
            completion();
        return;
    }
    QWidget *previous = m_widgets.size() > 1 ? m_widgets.at(m_widgets.size() - 2) : nullptr;
    const bool loading = qobject_cast<LoadingWidget *>(top) != nullptr;
    ui->backButton->setVisible(m_widgets.size() > 1 && !loading);

    if (previous)
        hideAllBut(previous);
    if (!inContentArea(top)) {
        content->addWidget(top);
    } else if (goingBack && previous) {
        if (!inContentArea(previous))
            content->addWidget(previous);
        previous->show();
    }
    top->show();

    if (loading) {
        ui->titleLabel->clear();
        ui->backButton->hide();
    } else {
        ui->titleLabel->setText(top->windowTitle());
        hideAllBut(top);
    }
    if (completion)
        completion();
}

void NavigationWidget::updateRightButton()
{
    QToolButton *button = ui->rightButton;
    disconnect(m_rightButtonConnection);
    QWidget *top = currentWidget();
    const RightButton look = top ? icons.value(top) : RightButton();
    if (!top || look.isEmpty()) {
        button->hide();
        return;
    }
    if (!look.buttonText.isEmpty()) {
        button->setIcon(QIcon());
        button->setText(look.buttonText);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    } else {
        // Named without extension; the image reader finds the bitmap.
        button->setIcon(QIcon(QPixmap(QStringLiteral(":/") + look.iconName)));
        button->setText(QString());
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    }
    const std::function<void()> action = callbacks.value(top);
    if (action)
        m_rightButtonConnection = connect(button, &QToolButton::clicked, this, [action] { action(); });
    button->show();
}
