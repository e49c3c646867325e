// What the log may show of URLs and replies: secrets masked, everything else intact.
#include "logredaction.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

class TestLogRedaction : public QObject
{
    Q_OBJECT

private slots:
    void urls_data();
    void urls();
    void textMentioningTheUrl();
    void json_data();
    void json();
    void addressText_data();
    void addressText();
    void envelopeMasksByPlace();
};

void TestLogRedaction::envelopeMasksByPlace()
{
    const QJsonDocument envelope = QJsonDocument::fromJson(
        R"({"meta":{"status":"error","error":{"code":500,"message":"Down"}},)"
        R"("response":{"auth_token":"t-1","user":{"email":"a@b","token":"t-2"},"sources":[{"passphrase":"p"}]}})");
    const QString line = LogRedaction::redactedCompactJson(envelope);
    QVERIFY2(line.contains(R"("code":500)"), qPrintable(line));
    for (const char *secret : {"t-1", "t-2", "\"p\""})
        QVERIFY2(!line.contains(secret), qPrintable(line));
    QVERIFY(line.contains(R"("email":"a@b")"));
    // Outside an envelope every secret key is masked, wherever it is.
    QVERIFY(!LogRedaction::redactedCompactJson(QJsonDocument::fromJson(R"({"code":"123456"})"))
                 .contains("123456"));
}

void TestLogRedaction::urls_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no query") << "https://id.example:443/api/v1.1/me"
                              << "https://id.example:443/api/v1.1/me";
    QTest::newRow("token") << "https://h/me?auth_token=abc"
                           << "https://h/me?auth_token=***";
    QTest::newRow("login") << "https://h/auth/login?email=a@b.c&password=p%26w"
                           << "https://h/auth/login?email=a@b.c&password=***";
    QTest::newRow("code and order kept") << "https://h/c?auth_token=t&email=a&code=1234&x=y"
                                         << "https://h/c?auth_token=***&email=a&code=***&x=y";
    QTest::newRow("empty token") << "https://h/me?auth_token="
                                 << "https://h/me?auth_token=***";
    QTest::newRow("repeated key") << "https://h/me?token=a&token=b"
                                  << "https://h/me?token=***&token=***";
    QTest::newRow("encoded key") << "https://h/me?auth%5Ftoken=abc"
                                 << "https://h/me?auth_token=***";
    QTest::newRow("harmless items untouched") << "https://h/r?count=10&offset=20&cameraIds=a,b"
                                              << "https://h/r?count=10&offset=20&cameraIds=a,b";
}

void TestLogRedaction::urls()
{
    QFETCH(QString, url);
    QFETCH(QString, expected);
    QCOMPARE(LogRedaction::redactedUrl(QUrl(url)), expected);
}

void TestLogRedaction::textMentioningTheUrl()
{
    const QUrl url("https://h:8443/api/v1.1/me?auth_token=s3cret&detailed=true");
    const QString text = "Error transferring " + url.toString() + " - server replied: Forbidden";
    QCOMPARE(LogRedaction::redactedText(text, url),
             QString("Error transferring https://h:8443/api/v1.1/me?auth_token=***&detailed=true - server "
                     "replied: Forbidden"));
    QCOMPARE(LogRedaction::redactedText("Host requires authentication", url),
             QString("Host requires authentication"));
}

void TestLogRedaction::addressText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("srt address in a player message")
        << "ffmpeg: srt: Connection to srt://h:1/?passphrase=s3cr#t&latency=500 failed"
        << "ffmpeg: srt: Connection to srt://h:1/?passphrase=***&latency=500 failed";
    QTest::newRow("passphrase last, before a quote") << "Opening 'srt://h:1?latency=5&passphrase=abc'"
                                                     << "Opening 'srt://h:1?latency=5&passphrase=***'";
    // A value runs to the next "&": with a blank in it nothing of it may show,
    // so the text up to there goes too.
    QTest::newRow("two addresses") << "a https://h/x?auth_token=t1 b https://h/y?x=1&token=t2"
                                   << "a https://h/x?auth_token=***&token=***";
    QTest::newRow("passphrase with blanks")
        << "srt://h:1/?passphrase=Secret Pass Phrase 42&latency=500 failed"
        << "srt://h:1/?passphrase=***&latency=500 failed";
    QTest::newRow("passphrase with blanks, last")
        << "Opening srt://h:1/?latency=5&passphrase=Secret Pass Phrase 42\nnext line"
        << "Opening srt://h:1/?latency=5&passphrase=***\nnext line";
    QTest::newRow("percent-encoded key") << "srt://h:1/?pass%70hrase=abc&latency=5"
                                         << "srt://h:1/?pass%70hrase=***&latency=5";
    QTest::newRow("comma-separated options") << "srt options latency=5,passphrase=abc def"
                                             << "srt options latency=5,passphrase=***";
    QTest::newRow("not after a separator") << "passphrase=abc"
                                           << "passphrase=abc";
    QTest::newRow("nothing secret") << "tcp://h:1?timeout=5&mode=caller"
                                    << "tcp://h:1?timeout=5&mode=caller";
}

void TestLogRedaction::addressText()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(LogRedaction::redactedAddressText(text), expected);
}

void TestLogRedaction::json_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("top-level token") << QByteArray(R"({"auth_token":"t","email":"e"})")
                                     << QByteArray(R"({"auth_token":"***","email":"e"})");
    QTest::newRow("nested passphrase") << QByteArray(R"({"a":[{"passphrase":"p","port":1}]})")
                                       << QByteArray(R"({"a":[{"passphrase":"***","port":1}]})");
    QTest::newRow("secret object masked whole")
        << QByteArray(R"({"token":{"value":"v"}})") << QByteArray(R"({"token":"***"})");
    QTest::newRow("null secret stays null")
        << QByteArray(R"({"password":null})") << QByteArray(R"({"password":null})");
    QTest::newRow("array document") << QByteArray(R"([{"code":"1"},2])")
                                    << QByteArray(R"([{"code":"***"},2])");
    QTest::newRow("not JSON") << QByteArray("<html>") << QByteArray("");
}

void TestLogRedaction::json()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    QCOMPARE(LogRedaction::redactedCompactJson(QJsonDocument::fromJson(input)), QString::fromUtf8(expected));
}

QTEST_GUILESS_MAIN(TestLogRedaction)
#include "tst_logredaction.moc"
