// The viewer's settings store: defaults of a first start, setter rules, player
// settings per workspace, maps read back by a second process, and stored values
// that are out of range.
#include "session/chatsettings.h"
#include "session/playersettings.h"
#include "session/settings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

// A map type the viewer does not know, to store under one of its keys.
using ForeignMap = QMap<QString, int>;

QString probePath()
{
    return QCoreApplication::applicationDirPath() + "/settings_probe";
}

// Runs the probe in a configuration folder of its own and returns its JSON.
QJsonObject probe(const QString &configHome, const QString &command)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", configHome);
    process.setProcessEnvironment(environment);
    process.start(probePath(), {command});
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        qWarning() << "probe failed:" << process.readAllStandardError();
        return {};
    }
    return QJsonDocument::fromJson(process.readAllStandardOutput()).object();
}

QSettings *rawSettings(const QString &configHome)
{
    return new QSettings(configHome + "/orvane/Orvane TV.conf", QSettings::IniFormat);
}

} // namespace

Q_DECLARE_METATYPE(ForeignMap)

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void firstStartDefaults();
    void persistedMapsSurviveARestart();
    void outOfRangeValuesReadAsDefaults_data();
    void outOfRangeValuesReadAsDefaults();
    void companySlugWritesAndSignalsOnlyChanges();
    void selectedStreamUrlWritesOnlyChanges();
    void authTokenIsReadFromStorage();
    void storeIsReadableByItsUserAlone();
    void playerSettingsPerWorkspace();
    void playerSettingsValues();
    void chatSettings();
    void damagedListsNeverStopTheStart_data();
    void damagedListsNeverStopTheStart();

private:
    QTemporaryDir m_home; // this process's own configuration folder
    QTemporaryDir m_others;
};

void TestSettings::initTestCase()
{
    QVERIFY(m_home.isValid() && m_others.isValid());
    // Before the store opens its settings for the first time.
    qputenv("XDG_CONFIG_HOME", m_home.path().toUtf8());
    qRegisterMetaTypeStreamOperators<ForeignMap>("ForeignMap");
    Settings::registerTypes();
    QVERIFY(QFile::exists(probePath()));
}

void TestSettings::firstStartDefaults()
{
    const QJsonObject dump = probe(m_others.path() + "/first", "dump");
    QCOMPARE(dump.value("keys").toArray(), QJsonArray{"streamDelay"});
    const QJsonObject expected{{"companySlug", ""},
                               {"currentCompanyID", ""},
                               {"email", ""},
                               {"authToken", ""},
                               {"sharedWorkspaceID", ""},
                               {"device", ""},
                               {"selectedStreamUrl", ""},
                               {"selectedStream", ""},
                               {"sharedStreamID", ""},
                               {"chatFilePath", ""},
                               {"streamDelay", 500},
                               {"streamDelayAuto", false},
                               {"volume", 0},
                               {"audioMuted", false},
                               {"playingArchive", false},
                               {"showCamera", true},
                               {"showSound", true},
                               {"layoutPref", 3},
                               {"playerSettings w1/r1", QJsonArray{0, 0, false, 500, true}},
                               {"marked", 0},
                               {"viewed", 0},
                               {"keys", QJsonArray{"streamDelay"}}};
    QCOMPARE(dump, expected);
    // A second start finds the delay and writes nothing more.
    QCOMPARE(probe(m_others.path() + "/first", "dump").value("keys").toArray(), QJsonArray{"streamDelay"});
}

void TestSettings::persistedMapsSurviveARestart()
{
    const QString home = m_others.path() + "/maps";
    probe(home, "write-maps");
    const QJsonObject read = probe(home, "read-maps");

    const QJsonObject player{{"w1/r1", QJsonArray{5, 2, true, 800, false}},
                             {"w1/r2", QJsonArray{1, 1, false, 300, true}},
                             {"w2/r1", QJsonArray{2, 0, true, 0, false}},
                             {"w2/r2", QJsonArray{0, 0, false, 500, true}}};
    QCOMPARE(read.value("player").toObject(), player);
    QCOMPARE(read.value("marked").toObject(),
             (QJsonObject{{"w1", QJsonArray{"rec-1", "rec-2"}}, {"w2", QJsonArray{}}}));
    // Order and every stored field kept (a 3 GiB size too); camera id and name are not stored.
    QCOMPARE(read.value("viewed").toObject(), probe(home, "expected-viewed").value("viewed").toObject());
}

void TestSettings::outOfRangeValuesReadAsDefaults_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QJsonValue>("expected");
    QTest::newRow("layout above 3") << "layoutPref" << QVariant(7) << "layoutPref" << QJsonValue(3);
    QTest::newRow("negative layout") << "layoutPref" << QVariant(-1) << "layoutPref" << QJsonValue(3);
    QTest::newRow("layout as a word") << "layoutPref" << QVariant("wide") << "layoutPref" << QJsonValue(0);
    QTest::newRow("layout in range") << "layoutPref" << QVariant(1) << "layoutPref" << QJsonValue(1);

    PlayerSettingsByWorkspace outOfTable;
    outOfTable["w1"]["r1"] = PlayerSettings(nullptr, 9, -1, true, 700, false);
    QTest::newRow("colour profile and range outside the tables, read as stored")
        << "playerSettingsByWorkspaceAndResourceId" << QVariant::fromValue(outOfTable)
        << "playerSettings w1/r1" << QJsonValue(QJsonArray{9, -1, true, 700, false});
    PlayerSettingsByWorkspace rangeFive;
    rangeFive["w1"]["r1"] = PlayerSettings(nullptr, 0, 5, false, 500, true);
    QTest::newRow("colour range 5") << "playerSettingsByWorkspaceAndResourceId"
                                    << QVariant::fromValue(rangeFive) << "playerSettings w1/r1"
                                    << QJsonValue(QJsonArray{0, 5, false, 500, true});
    PlayerSettingsByWorkspace lastEntries;
    lastEntries["w1"]["r1"] = PlayerSettings(nullptr, 5, 2, false, 100, true);
    QTest::newRow("last entries of the tables")
        << "playerSettingsByWorkspaceAndResourceId" << QVariant::fromValue(lastEntries)
        << "playerSettings w1/r1" << QJsonValue(QJsonArray{5, 2, false, 100, true});
    QTest::newRow("player settings as text")
        << "playerSettingsByWorkspaceAndResourceId" << QVariant("garbage") << "playerSettings w1/r1"
        << QJsonValue(QJsonArray{0, 0, false, 500, true});
    QTest::newRow("marked map of an unknown type")
        << "archivesMarkedInWorkspaces" << QVariant::fromValue(ForeignMap{{"w1", 3}}) << "marked"
        << QJsonValue(0);
    QTest::newRow("viewed map as a number") << "recentlyViewed" << QVariant(12) << "viewed" << QJsonValue(0);
    QTest::newRow("delay as a word") << "streamDelay" << QVariant("soon") << "streamDelay" << QJsonValue(0);
}

void TestSettings::outOfRangeValuesReadAsDefaults()
{
    QFETCH(QString, key);
    QFETCH(QVariant, stored);
    QFETCH(QString, field);
    QFETCH(QJsonValue, expected);
    const QString home
        = m_others.path() + "/range-" + QString::number(qHash(QString(QTest::currentDataTag())));
    {
        QScopedPointer<QSettings> raw(rawSettings(home));
        raw->setValue(key, stored);
    }
    QCOMPARE(probe(home, "dump").value(field), expected);
}

void TestSettings::companySlugWritesAndSignalsOnlyChanges()
{
    Settings *settings = Settings::sharedInstance();
    QScopedPointer<QSettings> raw(rawSettings(m_home.path()));
    QSignalSpy spy(settings, &Settings::companySlugUpdated);
    settings->setCompanySlug(settings->getCompanySlug());
    QCOMPARE(spy.count(), 0);
    raw->sync();
    QVERIFY(!raw->contains("companySlug"));

    settings->setCompanySlug("acme");
    settings->setCompanySlug("acme");
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().first().toString(), QString("acme"));
    QCOMPARE(QSettings(QSettings::NativeFormat, QSettings::UserScope, "orvane", "Orvane TV")
                 .value("companySlug")
                 .toString(),
             QString("acme"));
}

void TestSettings::selectedStreamUrlWritesOnlyChanges()
{
    Settings *settings = Settings::sharedInstance();
    QSettings view(QSettings::NativeFormat, QSettings::UserScope, "orvane", "Orvane TV");
    settings->setSelectedStreamUrl(QString());
    QVERIFY(!view.contains("selectedStreamUrl"));
    settings->setSelectedStreamUrl("srt://127.0.0.1:9000");
    QCOMPARE(view.value("selectedStreamUrl").toString(), QString("srt://127.0.0.1:9000"));
    // Other setters write even an unchanged value.
    settings->setDevice(settings->getDevice());
    QVERIFY(view.contains("device"));
}

void TestSettings::authTokenIsReadFromStorage()
{
    Settings *settings = Settings::sharedInstance();
    settings->setAuthToken("mine");
    QCOMPARE(settings->getAuthToken(), QString("mine"));
    // Another writer of the same settings is seen at once.
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "orvane", "Orvane TV")
        .setValue("authToken", "outside");
    QCOMPARE(settings->getAuthToken(), QString("outside"));
    settings->setAuthToken("");
    QCOMPARE(settings->getAuthToken(), QString());
}

void TestSettings::storeIsReadableByItsUserAlone()
{
    // Even with a permissive umask the session's file and folder stay private.
    const mode_t previous = ::umask(0);
    Settings::sharedInstance()->setEmail("ann@orvane.test");
    ::umask(previous);
    const QString file = m_home.path() + "/orvane/Orvane TV.conf";
    QVERIFY(QFile::exists(file));
    QCOMPARE(QFile::permissions(file) & ~(QFile::ReadUser | QFile::WriteUser),
             QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(QFile::permissions(m_home.path() + "/orvane")
                 & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
             QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestSettings::playerSettingsPerWorkspace()
{
    Settings *settings = Settings::sharedInstance();
    SharedWorkspace north;
    north.id = "north";
    SharedWorkspace harbour;
    harbour.id = "harbour";
    settings->setPlayerSettings(north, "str-1", PlayerSettings(nullptr, 1, 2, true, 900, false));
    settings->setPlayerSettings(harbour, "str-1", PlayerSettings(nullptr, 4, 1, false, 200, true));

    QCOMPARE(settings->getPlayerSettings(north, "str-1"), PlayerSettings(nullptr, 1, 2, true, 900, false));
    QCOMPARE(settings->getPlayerSettings(harbour, "str-1"), PlayerSettings(nullptr, 4, 1, false, 200, true));
    // Known workspace, unknown feed; unknown workspace: the defaults.
    QCOMPARE(settings->getPlayerSettings(north, "str-9"), PlayerSettings(nullptr, 0, 0, false, 500, true));
    SharedWorkspace unknown;
    unknown.id = "elsewhere";
    QCOMPARE(settings->getPlayerSettings(unknown, "str-1"), PlayerSettings(nullptr, 0, 0, false, 500, true));
    // Replacing one entry keeps the other.
    settings->setPlayerSettings(north, "str-1", PlayerSettings(nullptr, 3, 0, false, 100, false));
    QCOMPARE(settings->getPlayerSettings(harbour, "str-1").colorProfile, 4);
}

void TestSettings::playerSettingsValues()
{
    QObject parent;
    PlayerSettings original(&parent, 1, 2, true, 300, false);
    const PlayerSettings copy(original);
    QCOMPARE(copy.parent(), nullptr);
    QCOMPARE(copy, original);
    PlayerSettings assigned;
    assigned = original;
    QCOMPARE(assigned.parent(), nullptr);
    QCOMPARE(assigned.delay, 300);

    QString text;
    QDebug(&text) << original;
    QCOMPARE(text.trimmed(), QString("Profile=1, Range=2, Delay=300"));

    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out << original;
    }
    // colorProfile, colorRange, autoDelay, delay, muted: 4 + 4 + 1 + 4 + 1 bytes.
    QCOMPARE(bytes.size(), 14);
    PlayerSettings back;
    QDataStream in(bytes);
    in >> back;
    QCOMPARE(back, original);
}

void TestSettings::chatSettings()
{
    QVERIFY(!ChatSettings().textEnabled && !ChatSettings().voiceEnabled);
    QVERIFY(ChatSettings(true, false).isEqual(ChatSettings(true, false)));
    QVERIFY(!ChatSettings(true, false).isEqual(ChatSettings(true, true)));
    QVERIFY(!ChatSettings(false, true).isEqual(ChatSettings(true, true)));
}

void TestSettings::damagedListsNeverStopTheStart_data()
{
    QTest::addColumn<quint32>("claimed");
    QTest::newRow("twenty million") << quint32(20000000);
    QTest::newRow("2^31 - 1") << quint32(2147483647);
    QTest::newRow("all ones") << quint32(0xfffffffe);
}

void TestSettings::damagedListsNeverStopTheStart()
{
    QFETCH(quint32, claimed);
    // The stored form of one workspace whose list claims far more recordings
    // than follow it.
    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_5_15);
        out << quint32(1) << QString("w1") << claimed;
    }
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_5_15);
    ViewedArchives viewed;
    in >> viewed;
    QVERIFY(viewed.isEmpty());
    QVERIFY(in.status() != QDataStream::Ok);

    // And through a settings file, as the viewer reads it at start: a real list
    // written, then its count damaged in the file.
    const QString home = m_others.path() + "/damaged-" + QString::number(claimed);
    {
        QScopedPointer<QSettings> raw(rawSettings(home));
        Archive archive;
        archive.id = "r1";
        raw->setValue("recentlyViewed", QVariant::fromValue(ViewedArchives{{"w1", {archive}}}));
    }
    QFile file(home + "/orvane/Orvane TV.conf");
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray text = file.readAll();
    file.close();
    // "w1" in UTF-16, then the list's count 1, as the file writes them.
    const QByteArray written = QByteArray("\\0w\\0\\x31\\0\\0\\0\\x1");
    QVERIFY2(text.contains(written), text.constData());
    QByteArray count;
    for (int shift = 24; shift >= 0; shift -= 8)
        count += "\\x" + QByteArray::number((claimed >> shift) & 0xff, 16) + (shift ? "" : "");
    text.replace(written, QByteArray("\\0w\\0\\x31") + count);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
    file.close();
    // The viewer's store opens (in a process of its own) and the list reads empty.
    const QJsonObject dump = probe(home, "dump");
    QVERIFY(!dump.isEmpty());
    QCOMPARE(dump.value("viewed"), QJsonValue(0));
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
