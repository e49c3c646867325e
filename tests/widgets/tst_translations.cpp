// The viewer in German: the translation is chosen by the locale and the sign-in
// screen shows its texts; a language without a translation keeps the English.
#include "account/loginwidget.h"
#include "app/startup.h"
#include "qtovcoreapiframework.h"
#include "serverenvironment.h"
#include "viewertestsupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void aLanguageWithoutTranslationKeepsEnglish();
    void theSignInScreenInGerman();
};

void TestTranslations::aLanguageWithoutTranslationKeepsEnglish()
{
    QVERIFY(!Startup::installTranslations(QLocale(QLocale::Japanese, QLocale::Japan)));
    QCOMPARE(QCoreApplication::translate("LoginWidget", "Log In"), QStringLiteral("Log In"));
}

void TestTranslations::theSignInScreenInGerman()
{
    QVERIFY(Startup::installTranslations(QLocale(QLocale::German, QLocale::Germany)));
    OVTVProduction environment;
    QtOVCoreAPIFramework client([](QString text) { return text; }, &environment);
    LoginWidget login(nullptr, &client, QString());
    login.resize(1280, 800);
    // The main window's background, as the viewer shows the screen.
    QPalette palette = login.palette();
    palette.setColor(QPalette::Window, Qt::black);
    login.setPalette(palette);
    login.setAutoFillBackground(true);
    login.show();
    QVERIFY(QTest::qWaitForWindowExposed(&login));
    QCOMPARE(login.findChild<QPushButton *>(QStringLiteral("loginButton"))->text(),
             QStringLiteral("Anmelden"));
    QCOMPARE(login.findChild<QToolButton *>(QStringLiteral("googleButton"))->text(),
             QStringLiteral("Weiter mit Google"));
    QCOMPARE(login.findChild<QToolButton *>(QStringLiteral("facebookButton"))->text(),
             QStringLiteral("Weiter mit Facebook"));
    QCOMPARE(login.findChild<QToolButton *>(QStringLiteral("toolButton_4"))->text(),
             QStringLiteral("Passwort vergessen?"));
    QCOMPARE(login.findChild<QLineEdit *>(QStringLiteral("emailLineEdit"))->placeholderText(),
             QStringLiteral("E-Mail"));
    QCOMPARE(login.findChild<QLineEdit *>(QStringLiteral("passwordLineEdit"))->placeholderText(),
             QStringLiteral("Passwort oder Anmeldecode"));
    ViewerTestSupport::saveScreenshot(&login, QStringLiteral("login-de"));
}

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
