// Where the session token is kept: a real Secret Service (GNOME's key ring on a
// private session bus, tests/support/with-secret-service.sh), the move of a token
// an earlier version left in the settings file, the order of quick writes, a
// secret store that never answers, and no session bus at all.
#include "session/settings.h"
#include "session/tokenstore.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusVirtualObject>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <sys/stat.h>

namespace {

// Answers nothing at all: every call to it waits, as a locked key ring waiting
// for a password nobody types.
class SilentService : public QDBusVirtualObject
{
public:
    QString introspect(const QString &) const override { return QString(); }
    bool handleMessage(const QDBusMessage &, const QDBusConnection &) override { return true; }
};

bool secretServiceRunning()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected()
        && bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.secrets"));
}

} // namespace

class TestTokenStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void keptInTheSecretStoreNotInTheFile();
    void signingOutForgetsIt();
    void aTokenLeftInTheFileIsMoved();
    void anEmptyFileEntryOutranksTheStore();
    void theLastOfQuickWritesWins();
    void aSilentSecretStoreIsNotWaitedFor();
    void withoutASessionBusTheFileKeepsIt();

private:
    // What a new start would read: a fresh store over the same settings.
    QString loadAfterRestart(TokenStore::Place *place = nullptr);
    bool waitUntilSaved(TokenStore &store);
    QByteArray settingsFile() const;

    QTemporaryDir m_config;
    Settings *m_settings = nullptr;
};

void TestTokenStore::initTestCase()
{
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    m_settings = Settings::sharedInstance();
}

void TestTokenStore::init()
{
    const QString test = QString::fromLatin1(QTest::currentTestFunction());
    if (test == "aSilentSecretStoreIsNotWaitedFor" || test == "withoutASessionBusTheFileKeepsIt")
        return; // they set up their own conditions
    QVERIFY2(secretServiceRunning(),
             "needs a Secret Service: run under tests/support/with-secret-service.sh");
    // Each test starts with nothing stored anywhere.
    TokenStore store(m_settings);
    store.save(QString());
    QVERIFY(waitUntilSaved(store));
    m_settings->removeAuthToken();
}

QString TestTokenStore::loadAfterRestart(TokenStore::Place *place)
{
    TokenStore store(m_settings);
    QSignalSpy loaded(&store, &TokenStore::loaded);
    store.load();
    if (loaded.isEmpty() && !loaded.wait(10000))
        return QStringLiteral("<no answer>");
    if (place)
        *place = store.place();
    return loaded.first().first().toString();
}

bool TestTokenStore::waitUntilSaved(TokenStore &store)
{
    QSignalSpy saved(&store, &TokenStore::saved);
    return !store.isSaving() || saved.wait(10000);
}

QByteArray TestTokenStore::settingsFile() const
{
    QFile file(m_settings->fileName());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestTokenStore::keptInTheSecretStoreNotInTheFile()
{
    TokenStore store(m_settings);
    store.save(QStringLiteral("token-kept-safe-1"));
    QCOMPARE(store.token(), QStringLiteral("token-kept-safe-1"));
    QVERIFY(waitUntilSaved(store));
    QCOMPARE(store.place(), TokenStore::Place::SecretStore);
    QVERIFY(!settingsFile().contains("token-kept-safe-1"));
    QVERIFY(!m_settings->holdsAuthToken());

    TokenStore::Place place;
    QCOMPARE(loadAfterRestart(&place), QStringLiteral("token-kept-safe-1"));
    QCOMPARE(place, TokenStore::Place::SecretStore);
}

void TestTokenStore::signingOutForgetsIt()
{
    TokenStore store(m_settings);
    store.save(QStringLiteral("token-of-a-session"));
    QVERIFY(waitUntilSaved(store));
    store.save(QString());
    QVERIFY(waitUntilSaved(store));
    QCOMPARE(loadAfterRestart(), QString());
    QVERIFY(!m_settings->holdsAuthToken());
}

void TestTokenStore::aTokenLeftInTheFileIsMoved()
{
    // As an earlier version stored it.
    m_settings->setAuthToken(QStringLiteral("token-from-the-file"));
    TokenStore store(m_settings);
    QSignalSpy loaded(&store, &TokenStore::loaded);
    store.load();
    QTRY_COMPARE(loaded.size(), 1);
    QCOMPARE(loaded.first().first().toString(), QStringLiteral("token-from-the-file"));
    QVERIFY(waitUntilSaved(store));
    QVERIFY(!m_settings->holdsAuthToken());
    QVERIFY(!settingsFile().contains("token-from-the-file"));

    TokenStore::Place place;
    QCOMPARE(loadAfterRestart(&place), QStringLiteral("token-from-the-file"));
    QCOMPARE(place, TokenStore::Place::SecretStore);
}

void TestTokenStore::anEmptyFileEntryOutranksTheStore()
{
    // Signed in while the store answered, signed out while it did not: the file
    // says "no session", and the older token in the store must not come back.
    TokenStore store(m_settings);
    store.save(QStringLiteral("token-signed-out-of"));
    QVERIFY(waitUntilSaved(store));
    m_settings->setAuthToken(QString());

    TokenStore restarted(m_settings);
    QSignalSpy loaded(&restarted, &TokenStore::loaded);
    restarted.load();
    QCOMPARE(loaded.size(), 1);
    QCOMPARE(loaded.first().first().toString(), QString());
    QVERIFY(waitUntilSaved(restarted));
    QVERIFY(!m_settings->holdsAuthToken());
    QCOMPARE(loadAfterRestart(), QString());
}

void TestTokenStore::theLastOfQuickWritesWins()
{
    TokenStore store(m_settings);
    QSignalSpy saved(&store, &TokenStore::saved);
    for (const QString &token : {QStringLiteral("first"), QString(), QStringLiteral("third"), QString(),
                                 QStringLiteral("token-written-last")})
        store.save(token);
    QCOMPARE(store.token(), QStringLiteral("token-written-last"));
    QVERIFY(saved.wait(10000));
    QCOMPARE(saved.size(), 1);
    QVERIFY(!store.isSaving());
    QCOMPARE(loadAfterRestart(), QStringLiteral("token-written-last"));
}

void TestTokenStore::aSilentSecretStoreIsNotWaitedFor()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || secretServiceRunning())
        QSKIP("needs a session bus without a Secret Service (run under dbus-run-session)");
    SilentService silent;
    QVERIFY(bus.registerVirtualObject(QStringLiteral("/org/freedesktop/secrets"), &silent,
                                      QDBusConnection::SubPath));
    QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.secrets")));

    TokenStore store(m_settings);
    store.setJobTimeLimitForTesting(500);
    QSignalSpy loaded(&store, &TokenStore::loaded);
    store.load();
    QVERIFY(loaded.wait(5000));
    QCOMPARE(loaded.first().first().toString(), QString());
    QCOMPARE(store.place(), TokenStore::Place::SettingsFile);

    // Once it has failed, writes go to the file straight away.
    QSignalSpy saved(&store, &TokenStore::saved);
    store.save(QStringLiteral("token-while-silent"));
    QCOMPARE(saved.size(), 1);
    QCOMPARE(m_settings->getAuthToken(), QStringLiteral("token-while-silent"));
    m_settings->removeAuthToken();
}

void TestTokenStore::withoutASessionBusTheFileKeepsIt()
{
    if (QDBusConnection::sessionBus().isConnected())
        QSKIP("runs without a session bus");
    TokenStore store(m_settings);
    store.save(QStringLiteral("token-in-the-file"));
    QVERIFY(waitUntilSaved(store));
    QCOMPARE(store.place(), TokenStore::Place::SettingsFile);
    QVERIFY(settingsFile().contains("token-in-the-file"));
    struct stat status;
    QCOMPARE(::stat(QFile::encodeName(m_settings->fileName()).constData(), &status), 0);
    QCOMPARE(status.st_mode & 0777, mode_t(0600));

    TokenStore::Place place;
    QCOMPARE(loadAfterRestart(&place), QStringLiteral("token-in-the-file"));
    QCOMPARE(place, TokenStore::Place::SettingsFile);

    store.save(QString());
    QVERIFY(waitUntilSaved(store));
    QCOMPARE(loadAfterRestart(), QString());
}

QTEST_GUILESS_MAIN(TestTokenStore)
#include "tst_tokenstore.moc"
