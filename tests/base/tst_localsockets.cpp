// The local-socket message framing shared by the viewer, the chat program and the
// OAuth helper, and the user-only socket paths and peer check under it.
#include "localmessage.h"
#include "localsockets.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QByteArray bigEndian32(qint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, reinterpret_cast<uchar *>(bytes.data()));
    return bytes;
}

QStringList readAll(LocalMessageReader &reader)
{
    QStringList texts;
    QString text;
    while (reader.next(&text))
        texts << text;
    return texts;
}

} // namespace

class TestLocalSockets : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void bytesOfAFiveCharacterText();
    void wholeMessagesOnly_data();
    void wholeMessagesOnly();
    void refusedHeaders_data();
    void refusedHeaders();
    void nonAsciiText();
    void socketLivesInAPrivateFolder();
    void staleSocketIsReplacedLiveOneIsNot();
    void messageCrossesARealSocket();
    void anotherUsersConnectionIsRefused();

private:
    QTemporaryDir m_runtime;
};

void TestLocalSockets::initTestCase()
{
    QVERIFY(m_runtime.isValid());
    QFile::setPermissions(m_runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", m_runtime.path().toUtf8());
}

void TestLocalSockets::bytesOfAFiveCharacterText()
{
    // Length 5 in UTF-16 units, then QDataStream's string: byte count 10 and
    // the big-endian units.
    const QByteArray expected = QByteArray::fromHex("00000005"
                                                    "0000000a"
                                                    "00680065006c006c006f");
    QCOMPARE(LocalMessage::encode("hello"), expected);
}

void TestLocalSockets::wholeMessagesOnly_data()
{
    QTest::addColumn<QList<QByteArray>>("reads");
    QTest::addColumn<QStringList>("expected");
    const QByteArray one = LocalMessage::encode("code=abc");
    const QByteArray two = LocalMessage::encode("orvanetv://open?recordingId=rec-001");
    QTest::newRow("one read") << QList<QByteArray>{one} << QStringList{"code=abc"};
    QTest::newRow("split in the header")
        << QList<QByteArray>{one.left(3), one.mid(3)} << QStringList{"code=abc"};
    QTest::newRow("split in the text")
        << QList<QByteArray>{one.left(11), one.mid(11)} << QStringList{"code=abc"};
    QList<QByteArray> bytewise;
    for (char byte : one)
        bytewise << QByteArray(1, byte);
    QTest::newRow("byte by byte") << bytewise << QStringList{"code=abc"};
    QTest::newRow("two in one read") << QList<QByteArray>{one + two}
                                     << QStringList{"code=abc", "orvanetv://open?recordingId=rec-001"};
    QTest::newRow("one and a half") << QList<QByteArray>{one + two.left(9)} << QStringList{"code=abc"};
    QTest::newRow("null text") << QList<QByteArray>{LocalMessage::encode(QString())}
                               << QStringList{QString()};
    QTest::newRow("empty text") << QList<QByteArray>{LocalMessage::encode(QStringLiteral(""))}
                                << QStringList{""};
}

void TestLocalSockets::wholeMessagesOnly()
{
    QFETCH(QList<QByteArray>, reads);
    QFETCH(QStringList, expected);
    LocalMessageReader reader;
    QStringList texts;
    for (const QByteArray &bytes : reads) {
        reader.feed(bytes);
        texts << readAll(reader);
    }
    QCOMPARE(texts, expected);
    QVERIFY(!reader.failed());
}

void TestLocalSockets::refusedHeaders_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("negative length") << bigEndian32(-1) + bigEndian32(0);
    QTest::newRow("length 2^31-1") << bigEndian32(0x7fffffff) + bigEndian32(-2);
    QTest::newRow("just over the limit")
        << bigEndian32(LocalMessage::maximumLength + 1) + bigEndian32(2 * (LocalMessage::maximumLength + 1));
    QTest::newRow("byte count disagrees") << bigEndian32(5) + bigEndian32(12) + QByteArray(12, 'a');
    QTest::newRow("odd byte count") << bigEndian32(0) + bigEndian32(1) + QByteArray(1, 'a');
    QTest::newRow("null string with a length") << bigEndian32(3) + bigEndian32(-1);
}

void TestLocalSockets::refusedHeaders()
{
    QFETCH(QByteArray, bytes);
    LocalMessageReader reader;
    reader.feed(bytes + LocalMessage::encode("after"));
    QString text;
    QVERIFY(!reader.next(&text));
    QVERIFY(reader.failed());
    // Nothing more is taken from a failed connection.
    QVERIFY(!reader.next(&text));
}

void TestLocalSockets::nonAsciiText()
{
    const QString text = QString::fromUtf8("caf\u00e9 \U0001F3A5");
    LocalMessageReader reader;
    reader.feed(LocalMessage::encode(text));
    QCOMPARE(readAll(reader), QStringList{text});
}

void TestLocalSockets::socketLivesInAPrivateFolder()
{
    QLocalServer server;
    QString error;
    QVERIFY2(LocalSockets::listen(&server, "qtorvanetvoauth", &error), qPrintable(error));
    const QString path = LocalSockets::serverPath("qtorvanetvoauth");
    QCOMPARE(path, m_runtime.path() + "/qtorvanetvoauth");
    QCOMPARE(server.fullServerName(), path);
    struct stat info;
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &info), 0);
    QVERIFY(S_ISSOCK(info.st_mode));
    QCOMPARE(info.st_uid, ::geteuid());
    QCOMPARE(int(info.st_mode & 077), 0);
    QCOMPARE(::stat(QFile::encodeName(m_runtime.path()).constData(), &info), 0);
    QCOMPARE(int(info.st_mode & 077), 0);
}

void TestLocalSockets::staleSocketIsReplacedLiveOneIsNot()
{
    const QString name = "qtorvanetvchat";
    const QByteArray path = QFile::encodeName(LocalSockets::serverPath(name));
    // A socket file nobody answers on, as a program that crashed leaves it.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    QVERIFY(fd >= 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, path.constData(), sizeof address.sun_path);
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ::close(fd);
    QVERIFY(QFile::exists(path));

    QLocalServer first;
    QString error;
    QVERIFY2(LocalSockets::listen(&first, name, &error), qPrintable(error));
    // A live server is never pushed aside.
    QLocalServer second;
    QVERIFY(!LocalSockets::listen(&second, name, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(first.isListening());
    QLocalSocket client;
    client.connectToServer(QFile::decodeName(path));
    QVERIFY(first.waitForNewConnection(5000));
}

void TestLocalSockets::messageCrossesARealSocket()
{
    QLocalServer server;
    QVERIFY(LocalSockets::listen(&server, "qtorvanetvoauth"));
    QLocalSocket client;
    client.connectToServer(LocalSockets::serverPath("qtorvanetvoauth"));
    QVERIFY(server.waitForNewConnection(5000));
    QLocalSocket *peer = server.nextPendingConnection();
    QVERIFY(LocalSockets::isSameUser(peer));
    QVERIFY(client.waitForConnected(5000));
    QVERIFY(LocalSockets::isSameUser(&client));
    peer->write(LocalMessage::encode("code=4/0Ab"));
    peer->write(LocalMessage::encode("code="));
    peer->flush();
    LocalMessageReader reader;
    QStringList texts;
    QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                 if (client.bytesAvailable() > 0 || client.waitForReadyRead(100))
                                     reader.feed(client.readAll());
                                 texts << readAll(reader);
                                 return texts.size() == 2;
                             }()),
                             5000);
    QCOMPARE(texts, (QStringList{"code=4/0Ab", "code="}));
}

void TestLocalSockets::anotherUsersConnectionIsRefused()
{
    if (::geteuid() != 0)
        QSKIP("needs root to run a client as another user");
    // The system's Python: one under root's home would not run as another user.
    if (QStandardPaths::findExecutable("setpriv").isEmpty() || !QFile::exists("/usr/bin/python3"))
        QSKIP("setpriv and /usr/bin/python3 are needed to connect as another user");
    // A folder the other user can reach, so that only the peer check stands in
    // the way (our own folders are private and would stop it earlier).
    QTemporaryDir open("/tmp/orvane-open-XXXXXX");
    QVERIFY(open.isValid());
    QFile::setPermissions(open.path(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther
                              | QFile::ReadOther | QFile::WriteOther);
    const QString path = open.path() + "/qtorvanetvchat";
    QLocalServer server;
    server.setSocketOptions(QLocalServer::WorldAccessOption);
    QVERIFY(server.listen(path));
    QProcess other;
    other.start("setpriv",
                {"--reuid=65534", "--regid=65534", "--clear-groups", "/usr/bin/python3", "-c",
                 "import socket,sys; s=socket.socket(socket.AF_UNIX); s.connect(sys.argv[1]); s.recv(1)",
                 path});
    QVERIFY(server.waitForNewConnection(10000));
    // The other user's connection is closed: its read ends and it exits.
    QTest::ignoreMessage(QtWarningMsg, "Local connection of user 65534 refused");
    QCOMPARE(LocalSockets::nextSameUserConnection(&server), static_cast<QLocalSocket *>(nullptr));
    QVERIFY(other.waitForFinished(10000));
    QCOMPARE(other.exitCode(), 0);

    // This user's connection is taken.
    QLocalSocket mine;
    mine.connectToServer(path);
    QVERIFY(server.waitForNewConnection(5000));
    QLocalSocket *peer = LocalSockets::nextSameUserConnection(&server);
    QVERIFY(peer);
    QCOMPARE(LocalSockets::peerUserId(peer), (long long)::geteuid());
}

QTEST_GUILESS_MAIN(TestLocalSockets)
#include "tst_localsockets.moc"
