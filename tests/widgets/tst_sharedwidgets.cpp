// Shared widgets in a real window: the loading animation's dot sequence, the
// dot's painting, the header's size, and a screenshot of them for a person to
// look at (written to the build folder as a test artefact).
#include "dotwidget.h"
#include "headerwidget.h"
#include "loadingwidget.h"
#include "theme.h"

#include <QDir>
#include <QHBoxLayout>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

class TestSharedWidgets : public QObject
{
    Q_OBJECT

private slots:
    void loadingDotSequence();
    void dotPaints_data();
    void dotPaints();
    void headerSize();
    void themeColoursInStyleSheets();
    void screenshot();
};

void TestSharedWidgets::loadingDotSequence()
{
    LoadingWidget loading(nullptr, 60000);  // ticks by hand below
    loading.show();
    QVERIFY(QTest::qWaitForWindowExposed(&loading));
    QCOMPARE(loading.litDot(), -1);  // nothing lit before the first tick
    QVector<int> lit;
    for (int i = 0; i < 6; ++i) {
        QMetaObject::invokeMethod(&loading, "tick");
        lit << loading.litDot();
    }
    // middle, right, none, left, middle, right
    QCOMPARE(lit, (QVector<int>{1, 2, -1, 0, 1, 2}));

    QSignalSpy done(&loading, &LoadingWidget::done);
    loading.stop();
    QCOMPARE(done.count(), 1);
    QTimer *timer = loading.findChild<QTimer *>();
    QVERIFY(!timer || !timer->isActive());
}

void TestSharedWidgets::dotPaints_data()
{
    QTest::addColumn<bool>("highlighted");
    QTest::addColumn<int>("alpha");
    QTest::newRow("highlighted") << true << 255;
    QTest::newRow("faint") << false << 51;
}

void TestSharedWidgets::dotPaints()
{
    QFETCH(bool, highlighted);
    QFETCH(int, alpha);
    DotWidget dot(nullptr, QColor(200, 40, 20));
    dot.resize(30, 30);
    dot.setHighlighted(highlighted);
    QImage image(30, 30, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    dot.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    const QColor centre = image.pixelColor(15, 15);
    QCOMPARE(centre.alpha(), alpha);
    QVERIFY(qAbs(centre.red() - 200) <= 2 && qAbs(centre.green() - 40) <= 2);
    // The corner lies outside the round dot.
    QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
}

void TestSharedWidgets::headerSize()
{
    QWidget parent;
    parent.resize(640, 200);
    HeaderWidget header(&parent, "Recent");
    QCOMPARE(header.text(), QString("Recent"));
    QCOMPARE(header.minimumSizeHint(), QSize(640, 30));
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    header.resize(500, 30);
    QCOMPARE(header.minimumSizeHint(), QSize(500, 30));
}

void TestSharedWidgets::themeColoursInStyleSheets()
{
    QCOMPARE(Theme::styleColor(Theme::appOrange), QString("#f04e23"));
    // Style sheets carry no alpha: translucent colours arrive opaque.
    QCOMPARE(Theme::styleColor(Theme::textFieldBackground), QString("#000000"));
    QCOMPARE(Theme::styleColor(Theme::sectionBackground), QString("#0a0c0e"));
    QCOMPARE(Theme::appGreenL3.alpha(), 204);
    QCOMPARE(Theme::mainFont(10).family(), QString("HKGrotesk"));
    QCOMPARE(Theme::boldFont(11).weight(), int(QFont::Bold));
    QCOMPARE(Theme::mainFont(10).weight(), int(QFont::Normal));
}

void TestSharedWidgets::screenshot()
{
    QWidget window;
    window.setWindowTitle("Shared widgets");
    window.setStyleSheet(QStringLiteral("background-color: %1;").arg(Theme::styleColor(Theme::mainBackground)));
    auto *column = new QVBoxLayout(&window);
    column->addWidget(new HeaderWidget(&window, "Section header"));
    auto *loading = new LoadingWidget(&window, 60000);
    QMetaObject::invokeMethod(loading, "tick");
    column->addWidget(loading);
    auto *dots = new QHBoxLayout;
    for (bool lit : {true, false}) {
        auto *dot = new DotWidget(&window, Theme::appOrange);
        dot->setFixedSize(30, 30);
        dot->setHighlighted(lit);
        dots->addWidget(dot);
    }
    column->addLayout(dots);
    window.resize(420, 420);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QPixmap picture = window.grab();
    QVERIFY(!picture.isNull());
    const QString folder = QCoreApplication::applicationDirPath() + "/artifacts";
    QDir().mkpath(folder);
    QVERIFY(picture.save(folder + "/shared-widgets.png"));
    // The lit middle dot shows in the picture.
    const QPoint centre = loading->findChild<DotWidget *>("midDot")->mapTo(&window, QPoint(15, 15));
    QCOMPARE(picture.toImage().pixelColor(centre).rgb(), Theme::loadingDot.rgb());
}

QTEST_MAIN(TestSharedWidgets)
#include "tst_sharedwidgets.moc"
