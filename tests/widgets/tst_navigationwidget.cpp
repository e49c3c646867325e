// The page stack in a real window: back button, title, right button, loading
// overlays, and starting and stopping pages that play video.
#include "ui/loadingwidget.h"
#include "navigation/navigationwidget.h"
#include "navigation/videopage.h"

#include <QLabel>
#include <QPointer>
#include <QToolButton>
#include <QtTest>

namespace {

// A page that plays video and counts what the stack asks of it.
class PlayingPage
    : public QWidget
    , public VideoPage
{
public:
    explicit PlayingPage(const QString &title, QStringList *journal)
        : m_journal(journal)
    {
        setWindowTitle(title);
    }
    ~PlayingPage() override { *m_journal << windowTitle() + " deleted"; }
    void start() override { *m_journal << windowTitle() + " started"; }
    void stop() override { *m_journal << windowTitle() + " stopped"; }

private:
    QStringList *m_journal;
};

QWidget *page(const QString &title)
{
    auto *widget = new QWidget;
    widget->setWindowTitle(title);
    return widget;
}

} // namespace

class TestNavigationWidget : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void rootAlone();
    void pushAndBack();
    void loadingOverlay();
    void videoPagesStartAndStop();
    void rightButton();
    void popToRoot();
    void removedPageKeepsItsButton();

private:
    QToolButton *back() const { return m_stack->findChild<QToolButton *>("backButton"); }
    QToolButton *right() const { return m_stack->findChild<QToolButton *>("rightButton"); }
    QString title() const { return m_stack->findChild<QLabel *>("titleLabel")->text(); }

    NavigationWidget *m_stack = nullptr;
    QWidget *m_root = nullptr;
};

void TestNavigationWidget::init()
{
    m_root = page("Companies");
    m_stack = new NavigationWidget(nullptr, m_root);
    m_stack->resize(640, 480);
    m_stack->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_stack));
}

void TestNavigationWidget::cleanup()
{
    delete m_stack;
}

void TestNavigationWidget::rootAlone()
{
    QCOMPARE(m_stack->currentWidget(), m_root);
    QVERIFY(!back()->isVisible());
    QVERIFY(!right()->isVisible());
    QCOMPARE(title(), QString("Companies"));
    QVERIFY(m_root->isVisible());
    QVERIFY(m_stack->minimumSize() == QSize(300, 200));
    QVERIFY(!back()->icon().isNull());
}

void TestNavigationWidget::pushAndBack()
{
    QWidget *project = page("North Site");
    m_stack->pushWidget(project);
    QCOMPARE(m_stack->currentWidget(), project);
    QVERIFY(back()->isVisible());
    QCOMPARE(title(), QString("North Site"));
    QVERIFY(project->isVisible());
    QVERIFY(!m_root->isVisible());
    QCOMPARE(project->parentWidget(), m_stack->findChild<QWidget *>("rootWidget"));

    QPointer<QWidget> gone(project);
    QTest::mouseClick(back(), Qt::LeftButton);
    QCOMPARE(m_stack->currentWidget(), m_root);
    QVERIFY(m_root->isVisible());
    QCOMPARE(title(), QString("Companies"));
    QVERIFY(!back()->isVisible());
    QTRY_VERIFY(gone.isNull()); // the popped page is deleted
}

void TestNavigationWidget::loadingOverlay()
{
    m_stack->pushWidget(page("North Site"));
    auto *loading = new LoadingWidget(nullptr, 150);
    m_stack->pushWidget(loading);
    QCOMPARE(title(), QString());
    QVERIFY(!back()->isVisible());
    QVERIFY(loading->isVisible());
    m_stack->removeWidget(loading, true);
    QCOMPARE(title(), QString("North Site"));
    QVERIFY(back()->isVisible());
    delete loading;
}

void TestNavigationWidget::removedPageKeepsItsButton()
{
    QWidget *settings = page("Settings");
    m_stack->pushWidget(settings);
    int clicks = 0;
    m_stack->setButtonIcon(settings, RightButton::textButton("Done"), [&clicks] { ++clicks; });
    m_stack->removeWidget(settings, true);
    QVERIFY(!right()->isVisible() || m_stack->currentWidget() != settings);
    m_stack->pushWidget(settings);
    QVERIFY(right()->isVisible());
    QCOMPARE(right()->text(), QString("Done"));
    QTest::mouseClick(right(), Qt::LeftButton);
    QCOMPARE(clicks, 1);
}

void TestNavigationWidget::videoPagesStartAndStop()
{
    QStringList journal;
    auto *dashboard = new PlayingPage("Dashboard", &journal);
    m_stack->pushWidget(dashboard);
    QCOMPARE(journal, QStringList{"Dashboard started"});
    m_stack->popWidget();
    QTRY_COMPARE(journal, (QStringList{"Dashboard started", "Dashboard stopped", "Dashboard deleted"}));
    QCOMPARE(m_stack->currentWidget(), m_root);
}

void TestNavigationWidget::rightButton()
{
    int settingsClicks = 0;
    int editClicks = 0;
    m_stack->setButtonIcon(m_root, RightButton::iconButton("SettingsIcon"),
                           [&settingsClicks] { ++settingsClicks; });
    QVERIFY(right()->isVisible());
    QVERIFY(!right()->icon().isNull());
    QVERIFY(right()->text().isEmpty());
    QTest::mouseClick(right(), Qt::LeftButton);
    QCOMPARE(settingsClicks, 1);

    QWidget *project = page("North Site");
    m_stack->pushWidget(project);
    QVERIFY(!right()->isVisible()); // a page without a right button

    m_stack->setButtonIcon(project, RightButton::textButton("Edit"), [&editClicks] { ++editClicks; });
    QVERIFY(right()->isVisible());
    QCOMPARE(right()->text(), QString("Edit"));
    QVERIFY(right()->icon().isNull());
    QTest::mouseClick(right(), Qt::LeftButton);
    QCOMPARE(editClicks, 1);
    QCOMPARE(settingsClicks, 1); // only the top page's action runs

    m_stack->disableRightButton();
    QVERIFY(!right()->isEnabled());
    m_stack->enableRightButton();

    m_stack->popWidget();
    QTest::mouseClick(right(), Qt::LeftButton);
    QCOMPARE(settingsClicks, 2);
    QCOMPARE(editClicks, 1);
    QVERIFY(RightButton().isEmpty());
}

void TestNavigationWidget::popToRoot()
{
    QWidget *first = page("One");
    QWidget *second = page("Two");
    m_stack->pushWidget(first);
    m_stack->pushWidget(second);
    QCOMPARE(m_stack->count(), 3);
    m_stack->popToRootWidget();
    QCOMPARE(m_stack->count(), 1);
    QCOMPARE(m_stack->currentWidget(), m_root);
    QVERIFY(m_root->isVisible());
    QVERIFY(!first->isVisible() && !second->isVisible());
    QVERIFY(!back()->isVisible());
    QCOMPARE(title(), QString("Companies"));
}

QTEST_MAIN(TestNavigationWidget)
#include "tst_navigationwidget.moc"
