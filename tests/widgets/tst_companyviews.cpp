// The company list, its cards and a space's page in real windows: order, the
// empty view, cards of companies with and without spaces, the spaces tool tip,
// and stopping the page.
#include "company/companyselectionitemwidget.h"
#include "company/companyselectionwidget.h"
#include "company/projectfeedselectionwidget.h"
#include "navigation/videopage.h"
#include "session/globalmanager.h"
#include "ui/helpers.h"

#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QPointer>
#include <QSignalSpy>
#include <QToolTip>
#include <QtTest>

namespace {

CompanyShare space(const QString &slug, const QString &company, const QString &name, const QString &id)
{
    CompanyShare share;
    share.companySlug = slug;
    share.companyId = slug + "-id";
    share.companyName = company;
    share.shareName = name;
    share.shareId = id;
    share.createdAt = QDateTime(QDate(2026, 10, 1), QTime(9, 0), Qt::UTC);
    share.sharer.firstName = "Chloe";
    share.sharer.lastName = "Martin";
    return share;
}

// A live page that counts how often it was stopped.
class CountingPage
    : public QWidget
    , public VideoPage
{
public:
    void stop() override { ++stops; }
    int stops = 0;
};

} // namespace

class TestCompanyViews : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void companiesInCodePointOrder();
    void noCompaniesShowsTheWelcome();
    void cardWithThreeSpaces();
    void cardOfAnUnknownCompany();
    void spacesToolTip();
    void pageStopsItsLiveFeedsOnce();
};

void TestCompanyViews::initTestCase()
{
    Helpers::initResources();
    GlobalManager::sharedInstance()->setCompanyShares({
        {"acme",
         {space("acme", "acme Field Ops", "North Site", "41"),
          space("acme", "acme Field Ops", "Harbour", "42"), space("acme", "acme Field Ops", "Depot", "46")}},
        {"beacon", {space("beacon", "Beacon Broadcast", "Studio B", "43")}},
    });
}

void TestCompanyViews::companiesInCodePointOrder()
{
    CompanySelectionWidget list(nullptr,
                                {space("acme", "acme Field Ops", "", ""),
                                 space("edition", QString::fromUtf8("\u00c9dition Nord"), "", ""),
                                 space("beacon", "Beacon Broadcast", "", "")});
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QCOMPARE(list.windowTitle(), QString("Your Projects"));
    auto *items = list.findChild<QListWidget *>("listWidget");
    QStringList names;
    for (int row = 0; row < items->count(); ++row) {
        QCOMPARE(items->item(row)->flags(), Qt::NoItemFlags);
        names << items->itemWidget(items->item(row))->findChild<QLabel *>("companyLabel")->text();
    }
    QCOMPARE(names,
             (QStringList{"Beacon Broadcast", "acme Field Ops", QString::fromUtf8("\u00c9dition Nord")}));
    QVERIFY(!list.findChild<QWidget *>("emptyView")->isVisible());
}

void TestCompanyViews::noCompaniesShowsTheWelcome()
{
    CompanySelectionWidget list(nullptr, {});
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QVERIFY(!list.findChild<QWidget *>("listWidget")->isVisible());
    QVERIFY(list.findChild<QWidget *>("emptyView")->isVisible());
    QCOMPARE(list.findChild<QLabel *>("emptyTextLabel")->text(),
             QString("You don't have any projects yet. Ask a project administrator\nto add you to it, and it "
                     "will appear here."));
}

void TestCompanyViews::cardWithThreeSpaces()
{
    // The height a list in a form starts with, before any layout pass.
    QWidget form;
    QListWidget bare(&form);
    const int initialHeight = bare.height();
    CompanySelectionItemWidget card(nullptr, space("acme", "acme Field Ops", "", ""));
    auto *spaces = card.findChild<QListWidget *>("spacesWidget");
    QCOMPARE(spaces->count(), 3);
    QCOMPARE(spaces->minimumHeight(), initialHeight + 180);
    QCOMPARE(card.findChild<QLabel *>("createdLabel")->text(), QString("Created Oct 01 2026"));
    card.show();
    QVERIFY(QTest::qWaitForWindowExposed(&card));

    QSignalSpy selected(&card, &CompanySelectionItemWidget::selected);
    QTest::mouseClick(spaces->viewport(), Qt::LeftButton, {},
                      spaces->visualItemRect(spaces->item(1)).center());
    QCOMPARE(selected.count(), 1);
    QCOMPARE(selected.first().first().value<CompanyShare>().shareName, QString("Harbour"));
    auto *row = spaces->itemWidget(spaces->item(1));
    QCOMPARE(row->findChild<QLabel *>("sharedByLabel")->text(), QString("Shared by Chloe Martin"));
}

void TestCompanyViews::cardOfAnUnknownCompany()
{
    CompanySelectionItemWidget card(nullptr, space("gone", "Gone Ltd", "", ""));
    card.show();
    QVERIFY(QTest::qWaitForWindowExposed(&card));
    auto *spaces = card.findChild<QListWidget *>("spacesWidget");
    QCOMPARE(spaces->count(), 0);
    QSignalSpy selected(&card, &CompanySelectionItemWidget::selected);
    card.handleListSelection();
    QTest::mouseClick(spaces->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(selected.count(), 0);
}

void TestCompanyViews::spacesToolTip()
{
    CompanySelectionItemWidget card(nullptr, space("beacon", "Beacon Broadcast", "", ""));
    card.resize(800, 300);
    card.show();
    QVERIFY(QTest::qWaitForWindowExposed(&card));
    auto *info = card.findChild<QLabel *>("infoLabel");
    const QPoint onInfo = info->mapTo(&card, info->rect().center());
    QHelpEvent over(QEvent::ToolTip, onInfo, card.mapToGlobal(onInfo));
    QCoreApplication::sendEvent(&card, &over);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), CompanySelectionItemWidget::spacesToolTip());

    const QPoint elsewhere = card.findChild<QLabel *>("companyLabel")->geometry().center();
    QHelpEvent away(QEvent::ToolTip, elsewhere, card.mapToGlobal(elsewhere));
    QCoreApplication::sendEvent(&card, &away);
    QTRY_VERIFY(!QToolTip::isVisible());
}

void TestCompanyViews::pageStopsItsLiveFeedsOnce()
{
    auto *live = new CountingPage;
    QPointer<QWidget> recordings = new QWidget;
    QPointer<QWidget> liveGuard = live;
    {
        ProjectFeedSelectionWidget page(nullptr, live, recordings);
        auto *tabs = page.findChild<QTabWidget *>("tabWidget");
        QCOMPARE(tabs->tabText(0), QString("Live Feeds"));
        QCOMPARE(tabs->tabText(1), QString("Recordings"));
        QSignalSpy stopped(&page, &ProjectFeedSelectionWidget::stopped);
        page.stop();
        page.stop();
        QCOMPARE(live->stops, 1);
        QCOMPARE(stopped.count(), 1);
        QCOMPARE(page.findChild<QWidget *>("LiveFeedsContainer")->layout()->count(), 0);
    }
    // The page owned both and deleted them with itself.
    QVERIFY(liveGuard.isNull());
    QVERIFY(recordings.isNull());
}

QTEST_MAIN(TestCompanyViews)
#include "tst_companyviews.moc"
