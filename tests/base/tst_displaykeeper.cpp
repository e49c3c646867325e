// Keeping the display on through the desktop's screensaver service, on a private
// session bus (the suite runs under dbus-run-session), and without any bus.
#include "platform/displaykeeper.h"

#include <QDBusConnection>
#include <QSignalSpy>
#include <QtTest>

// Stands in for the desktop's screensaver on the private bus.
class FakeScreenSaver : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

public:
    QStringList calls;

public slots:
    uint Inhibit(const QString &application, const QString &reason)
    {
        calls << application + "|" + reason;
        return 4242;
    }
};

class TestDisplayKeeper : public QObject
{
    Q_OBJECT

private slots:
    void inhibitsThroughTheScreensaver();
    void withoutTheServiceNothingHappens();
    void withoutASessionBusNothingHappens();
};

void TestDisplayKeeper::inhibitsThroughTheScreensaver()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        QSKIP("needs a session bus (run under dbus-run-session)");
    // The service lives on a connection of its own, as a desktop's would.
    QDBusConnection service = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "screensaver");
    FakeScreenSaver saver;
    QVERIFY(service.registerObject("/org/freedesktop/ScreenSaver", &saver, QDBusConnection::ExportAllSlots));
    QVERIFY(service.registerService("org.freedesktop.ScreenSaver"));

    DisplayKeeper *keeper = DisplayKeeper::keepDisplayOn("Orvane TV", "Watching live video");
    QSignalSpy inhibited(keeper, &DisplayKeeper::inhibited);
    QVERIFY(inhibited.wait(10000));
    QCOMPARE(inhibited.first().first().toUInt(), 4242u);
    QVERIFY(keeper->isInhibiting());
    QCOMPARE(saver.calls, QStringList{"Orvane TV|Watching live video"});

    service.unregisterService("org.freedesktop.ScreenSaver");
    QDBusConnection::disconnectFromBus("screensaver");
}

void TestDisplayKeeper::withoutTheServiceNothingHappens()
{
    if (!QDBusConnection::sessionBus().isConnected())
        QSKIP("needs a session bus (run under dbus-run-session)");
    DisplayKeeper *keeper = DisplayKeeper::keepDisplayOn("Orvane TV", "Watching live video");
    QSignalSpy inhibited(keeper, &DisplayKeeper::inhibited);
    // The bus answers that nobody owns the name; the keeper lets it be.
    QVERIFY(!inhibited.wait(1500));
    QVERIFY(!keeper->isInhibiting());
}

void TestDisplayKeeper::withoutASessionBusNothingHappens()
{
    if (QDBusConnection::sessionBus().isConnected())
        QSKIP("runs without a session bus");
    DisplayKeeper *keeper = DisplayKeeper::keepDisplayOn("Orvane TV", "Watching live video");
    QVERIFY(keeper);
    QTest::qWait(200);
    QVERIFY(!keeper->isInhibiting());
}

QTEST_GUILESS_MAIN(TestDisplayKeeper)
#include "tst_displaykeeper.moc"
