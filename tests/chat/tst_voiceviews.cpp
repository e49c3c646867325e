// The voice bar, the users list and its rows under a virtual display: what they
// show for what the window hands them, and what they ask for.
#include "screenshots.h"
#include "voicechatuserslist.h"
#include "voicechatuserview.h"
#include "voicechatwidget.h"
#include "voicerecords.h"

#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QSignalSpy>
#include <QToolButton>
#include <QWidgetAction>
#include <QtTest>

namespace {

VoiceChatParticipant participant(quint32 uid, const QString &name, unsigned int volume, bool muted = false)
{
    VoiceChatParticipant one;
    one.uid = uid;
    one.name = name;
    one.volumeInfo.uid = uid;
    one.volumeInfo.volume = volume;
    one.hasAudio = volume > 0;
    one.muted = muted;
    return one;
}

SharedUser sharedUser(const QString &id, const QString &first, const QString &last, const QString &email = {})
{
    SharedUser user;
    user.id = id;
    user.firstName = first;
    user.lastName = last;
    user.email = email;
    return user;
}

} // namespace

class TestVoiceViews : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void initials_data();
    void initials();
    void displayNames_data();
    void displayNames();
    void usersButtonOnlyWhileJoined();
    void leavingHidesTheUsers();
    void badgeRules();
    void routeMenus();
    void usersListRows();
    void muteButtonAsksForTheOpposite();
};

void TestVoiceViews::initTestCase()
{
    qRegisterMetaType<VoiceChatParticipant>();
    qRegisterMetaType<AudioRoute>();
}

void TestVoiceViews::initials_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("initials");
    QTest::newRow("two words") << "anna maria"
                               << "AM";
    QTest::newRow("a word starting with a non-letter") << "#1 fan"
                                                       << "#1F";
    QTest::newRow("blanks between") << "  ben   ola "
                                    << "BO";
    QTest::newRow("one character") << "x"
                                   << "X";
    QTest::newRow("digits") << "12345"
                            << "12";
    QTest::newRow("empty") << ""
                           << "";
}

void TestVoiceViews::initials()
{
    QFETCH(QString, name);
    QFETCH(QString, initials);
    QCOMPARE(VoiceNames::initials(name), initials);
}

void TestVoiceViews::displayNames_data()
{
    QTest::addColumn<SharedUser>("user");
    QTest::addColumn<QString>("name");
    QTest::newRow("both names") << sharedUser("1", "Ann", "Lindqvist") << "Ann Lindqvist";
    QTest::newRow("first only") << sharedUser("1", "Ann", "", "ann@x") << "Ann";
    QTest::newRow("placeholder first") << sharedUser("1", " us er ", "", "ann@x") << "ann@x";
    QTest::newRow("placeholders twice") << sharedUser("1", "user", "user") << "user user";
    QTest::newRow("nothing") << sharedUser("1", "", "") << "";
}

void TestVoiceViews::displayNames()
{
    QFETCH(SharedUser, user);
    QFETCH(QString, name);
    QCOMPARE(VoiceNames::displayName(user), name);
}

void TestVoiceViews::usersButtonOnlyWhileJoined()
{
    VoiceChatWidget bar;
    bar.show();
    QSignalSpy showing(&bar, &VoiceChatWidget::showingUsersChanged);
    auto *users = bar.findChild<QToolButton *>("usersButton");
    QTest::mouseClick(users, Qt::LeftButton);
    QVERIFY(showing.isEmpty());
    QVERIFY(!bar.findChild<QWidget *>("micContainer")->isVisible());
    bar.setJoined(true);
    QVERIFY(bar.findChild<QWidget *>("micContainer")->isVisible());
    QCOMPARE(bar.findChild<QToolButton *>("joinButton")->text(), QString("Leave"));
    QTest::mouseClick(users, Qt::LeftButton);
    QCOMPARE(showing.size(), 1);
    QCOMPARE(showing.last().first().toBool(), true);
    QTest::mouseClick(users, Qt::LeftButton);
    QCOMPARE(showing.last().first().toBool(), false);
}

void TestVoiceViews::leavingHidesTheUsers()
{
    VoiceChatWidget bar;
    QSignalSpy showing(&bar, &VoiceChatWidget::showingUsersChanged);
    // Also when the users were not shown.
    bar.setJoined(false);
    QCOMPARE(showing.size(), 1);
    QCOMPARE(showing.first().first().toBool(), false);
    QCOMPARE(bar.findChild<QToolButton *>("joinButton")->text(), QString("Join"));
}

void TestVoiceViews::badgeRules()
{
    VoiceChatWidget bar;
    bar.resize(420, 60);
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    auto *label = bar.findChild<QLabel *>("initialsLabel");
    auto *rings = bar.findChild<QWidget *>("outerWave");
    bar.setJoined(true);
    // Too quiet: nothing shown.
    bar.showSpeaker({participant(7, "Ann Lindqvist", 29)});
    QCOMPARE(label->text(), QString());
    bar.showSpeaker({participant(7, "Ann Lindqvist", 30), participant(8, "Ben Ola", 80)});
    QCOMPARE(label->text(), QString("AL"));
    QTRY_VERIFY_WITH_TIMEOUT(rings->isVisible(), 2000);
    TestScreenshots::save(&bar, "voice-bar-speaking");
    // The same volume again is no new update.
    bar.showSpeaker({participant(8, "Ben Ola", 30)});
    QCOMPARE(label->text(), QString("AL"));
    // While the users are shown the badge is hidden.
    QTest::mouseClick(bar.findChild<QToolButton *>("usersButton"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!rings->isVisible(), 2000);
    QTest::mouseClick(bar.findChild<QToolButton *>("usersButton"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(rings->isVisible(), 2000);
    // Three seconds after the last accepted update it goes.
    QTRY_VERIFY_WITH_TIMEOUT(!rings->isVisible(), 5000);
}

void TestVoiceViews::routeMenus()
{
    VoiceChatWidget bar;
    bar.setJoined(true);
    const AudioRoute current{"USB Headset", "usb-1"};
    bar.setInputRoutes(current,
                       {{"Built-in", "builtin"}, {"USB Headset", "usb-1"}, {"USB Headset", "usb-2"}});
    QMenu *menu = bar.findChild<QMenu *>();
    QVERIFY(menu);
    QStringList names;
    for (QAction *action : menu->actions())
        names << action->objectName();
    QCOMPARE(names, (QStringList{"Follow System", "Built-in", "USB Headset", "USB Headset"}));
    // Only the route with the current name and id is marked.
    const auto marked = [menu](int index) {
        return static_cast<QWidgetAction *>(menu->actions().at(index))
            ->defaultWidget()
            ->styleSheet()
            .contains("#3d55f2");
    };
    QVERIFY(!marked(0) && !marked(1) && marked(2) && !marked(3));
    QSignalSpy changed(&bar, &VoiceChatWidget::inputRouteChanged);
    menu->actions().at(1)->trigger();
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.first().first().value<AudioRoute>().id, QString("builtin"));

    // A list that holds "Follow System" keeps its order.
    bar.setOutputRoutes(AudioRoute::followSystem(), {{"Speakers", "spk"}, AudioRoute::followSystem()});
    QMenu *output = nullptr;
    for (QMenu *candidate : bar.findChildren<QMenu *>()) {
        if (candidate != menu)
            output = candidate;
    }
    QVERIFY(output);
    QCOMPARE(output->actions().first()->objectName(), QString("Speakers"));
}

void TestVoiceViews::usersListRows()
{
    User own;
    own.id = "u-1";
    own.firstName = "Ann";
    own.lastName = "Lindqvist";
    VoiceChatUsersList list(nullptr, nullptr, own, "c-1", "41");
    list.resize(400, 300);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    list.setSharedUsers({sharedUser("u-1", "Ann", "Lindqvist"), sharedUser("u-2", "Ben", "Ola"),
                         sharedUser("u-3", "Chloé", "Dubois"), sharedUser("u-4", "user", "user", "dana@x")});
    auto *rows = list.findChild<QListWidget *>("listWidget");
    // The own user has the top row, not one in the list.
    QCOMPARE(rows->count(), 3);
    QCOMPARE(list.inVoiceCount(), 0);
    QCOMPARE(list.sharedUserCount(), 3);
    // Chloé and Ben are in the call: rows stay where they were added.
    list.setParticipants({participant(9, "Chloé Dubois", 120), participant(4, "Ben Ola", 0)});
    QCOMPARE(rows->count(), 3);
    QCOMPARE(list.inVoiceCount(), 2);
    const auto row = [rows](int index) {
        return qobject_cast<VoiceChatUserView *>(rows->itemWidget(rows->item(index)));
    };
    QCOMPARE(row(0)->userId(), QString("u-2"));
    QCOMPARE(row(0)->user().participant.uid, 4u);
    QVERIFY(row(0)->findChild<QToolButton *>("muteButton")->isVisible());
    QVERIFY(!row(2)->findChild<QToolButton *>("muteButton")->isVisible());
    TestScreenshots::save(&list, "voice-users-list");
    // Ben leaves: his row stays, grey and without its button.
    list.setParticipants({participant(9, "Chloé Dubois", 120)});
    QCOMPARE(rows->count(), 3);
    QCOMPARE(list.inVoiceCount(), 1);
    QVERIFY(!row(0)->findChild<QToolButton *>("muteButton")->isVisible());
    QVERIFY(row(0)->findChild<QLabel *>("label")->styleSheet().contains("#808080"));
}

void TestVoiceViews::muteButtonAsksForTheOpposite()
{
    User own;
    own.id = "u-1";
    VoiceChatUsersList list(nullptr, nullptr, own, "c-1", "41");
    list.show();
    list.setSharedUsers({sharedUser("u-2", "Ben", "Ola")});
    list.setParticipants({participant(4, "Ben Ola", 50)});
    QSignalSpy asked(&list, &VoiceChatUsersList::toggleMuteForUser);
    auto *rows = list.findChild<QListWidget *>("listWidget");
    auto *view = qobject_cast<VoiceChatUserView *>(rows->itemWidget(rows->item(0)));
    QTest::mouseClick(view->findChild<QToolButton *>("muteButton"), Qt::LeftButton);
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.first().at(0).toUInt(), 4u);
    QCOMPARE(asked.first().at(1).toBool(), true);
    // The icon follows only when the participants come back muted.
    list.setParticipants({participant(4, "Ben Ola", 50, true)});
    QTest::mouseClick(view->findChild<QToolButton *>("muteButton"), Qt::LeftButton);
    QCOMPARE(asked.last().at(1).toBool(), false);
}

QTEST_MAIN(TestVoiceViews)
#include "tst_voiceviews.moc"
