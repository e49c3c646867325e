// Shared widgets in a real window: the loading animation's dot sequence, the
// dot's painting, the header's size, and a screenshot of them for a person to
// look at (written to the build folder as a test artefact).
#include "ui/appbutton.h"
#include "ui/applineedit.h"
#include "ui/apptoolbutton.h"
#include "ui/dotwidget.h"
#include "ui/filterbutton.h"
#include "ui/helpers.h"
#include "ui/progresslabel.h"
#include "ui/headerwidget.h"
#include "ui/loadingwidget.h"
#include "ui/theme.h"

#include <QDir>
#include <QPainter>
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
    void standInFont();
    void appLineEditLooks();
    void buttons();
    void toolButtonTint();
    void progressLabelHoverLine();
    void emailCheck_data();
    void emailCheck();
    void versionTexts();
    void screenshot();
};

void TestSharedWidgets::loadingDotSequence()
{
    LoadingWidget loading(nullptr, 60000); // ticks by hand below
    loading.show();
    QVERIFY(QTest::qWaitForWindowExposed(&loading));
    QCOMPARE(loading.litDot(), -1); // nothing lit before the first tick
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

void TestSharedWidgets::standInFont()
{
    Theme::installFonts();
    // Every family the forms name resolves to the bundled stand-in.
    for (const QString &family :
         {QString("HKGrotesk"), QString("HK Grotesk"), QString("HK Grotesk SemiBold")}) {
        const QFontInfo info(QFont(family, 11));
        QCOMPARE(info.family(), QString("Inter"));
    }
    QCOMPARE(QFontInfo(Theme::boldFont(11)).family(), QString("Inter"));
    // Its licence ships with it.
    QFile licence(":/fonts/LICENSE.txt");
    QVERIFY(licence.open(QIODevice::ReadOnly));
    QVERIFY(licence.readAll().contains("Open Font License (OFL)"));
}

void TestSharedWidgets::appLineEditLooks()
{
    const QString idle
        = "border-radius: 8px; border: 1px solid #000000; color: #ffffff; background-color: #000000;";
    const QString editing
        = "border-radius: 8px; border: 1px solid #2a343a; color: #ffffff; background-color: #000000;";
    const QString error
        = "border-radius: 8px; border: 1px solid #d31212; color: #ffffff; background-color: #000000;";
    QWidget window;
    auto *field = new AppLineEdit(&window);
    QCOMPARE(field->styleSheet(), idle);
    QCOMPARE(field->textMargins(), QMargins(12, 0, 12, 0));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // No window manager runs under the virtual display, so the window never
    // becomes active; the focus changes are delivered as the events they are.
    QFocusEvent focusIn(QEvent::FocusIn, Qt::MouseFocusReason);
    QFocusEvent focusOut(QEvent::FocusOut, Qt::MouseFocusReason);

    QApplication::sendEvent(field, &focusIn);
    QCOMPARE(field->styleSheet(), editing);
    field->setError(true);
    QCOMPARE(field->styleSheet(), error);
    // An error look lasts until the focus changes.
    QApplication::sendEvent(field, &focusOut);
    QCOMPARE(field->styleSheet(), idle);
    field->setError(true);
    field->setError(false);
    QCOMPARE(field->styleSheet(), idle);
    field->beginEditing();
    QCOMPARE(field->styleSheet(), editing);
    field->endEditing();
    QCOMPARE(field->styleSheet(), idle);
}

void TestSharedWidgets::buttons()
{
    AppButton button;
    QCOMPARE(button.styleSheet(),
             QString("border-radius: 8px; border: none; color: #ffffff; background-color: #f04e23;"));
    QVERIFY(button.autoFillBackground());
    QCOMPARE(button.font().weight(), int(QFont::Bold));

    FilterButton filter;
    QVERIFY(!filter.isHighlighted());
    QVERIFY(filter.styleSheet().contains("border: 2px solid rgba(255, 255, 255, 51)"));
    filter.setHighlighted(true);
    QCOMPARE(filter.styleSheet(),
             QString("padding: 8px; border-radius: 4px; border: 2px solid #f04e23; color: white; "
                     "background-color: rgba(240, 78, 35, 51);"));
}

void TestSharedWidgets::toolButtonTint()
{
    QPixmap shape(16, 16);
    shape.fill(Qt::transparent);
    {
        QPainter painter(&shape);
        painter.fillRect(4, 4, 8, 8, Qt::black);
    }
    AppToolButton button;
    button.setIconSize(QSize(16, 16));
    button.setSourceIcon(QIcon(shape));
    const auto pixelAt
        = [&button](int x, int y) { return button.icon().pixmap(16, 16).toImage().pixelColor(x, y); };
    QCOMPARE(pixelAt(8, 8), QColor(Qt::white));
    QCOMPARE(pixelAt(1, 1).alpha(), 0); // the shape is kept
    QCOMPARE(button.styleSheet(), QString("border-radius: 8px; background-color: transparent;"));
    button.setSelected(true);
    QVERIFY(button.isSelected());
    QCOMPARE(pixelAt(8, 8), Theme::appOrange);
    QCOMPARE(button.styleSheet(), QString("border-radius: 8px; background-color: rgba(240, 78, 35, 20%);"));
    button.setSelectedColor(QColor(0, 0, 255));
    QCOMPARE(pixelAt(8, 8), QColor(0, 0, 255));

    // An icon set later is the one every restyle tints.
    QPixmap other(16, 16);
    other.fill(Qt::transparent);
    {
        QPainter painter(&other);
        painter.fillRect(0, 0, 4, 4, Qt::black);
    }
    button.setIcon(QIcon(other));
    button.setSelected(false);
    QCOMPARE(pixelAt(1, 1), QColor(Qt::white));
    QCOMPARE(pixelAt(8, 8).alpha(), 0);
}

void TestSharedWidgets::progressLabelHoverLine()
{
    QWidget cell;
    auto *label = new ProgressLabel(&cell);
    label->setGeometry(0, 0, 100, 20);
    QPixmap strip(100, 20);
    strip.fill(Qt::black);
    label->setPixmap(strip);
    QCOMPARE(label->pixmap(Qt::ReturnByValue).toImage().pixelColor(30, 10), QColor(Qt::black));

    label->beginHovering();
    label->hover(30);
    label->setPixmap(strip); // the line follows with the next picture
    QCOMPARE(label->pixmap(Qt::ReturnByValue).toImage().pixelColor(30, 10), QColor(0, 255, 0));
    QCOMPARE(label->pixmap(Qt::ReturnByValue).toImage().pixelColor(60, 10), QColor(Qt::black));

    // An empty picture keeps the one on screen.
    label->setPixmap(QPixmap());
    QCOMPARE(label->pixmap(Qt::ReturnByValue).toImage().pixelColor(30, 10), QColor(0, 255, 0));

    label->endHovering();
    label->setPixmap(strip);
    QCOMPARE(label->pixmap(Qt::ReturnByValue).toImage().pixelColor(30, 10), QColor(Qt::black));
}

void TestSharedWidgets::emailCheck_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain") << "ann@orvane.tv" << true;
    QTest::newRow("plus and dots") << "ann.lee+tv@mail.orvane.tv" << true;
    QTest::newRow("words around it") << "mail me at ann@orvane.tv today" << true;
    QTest::newRow("no at sign") << "ann.orvane.tv" << false;
    QTest::newRow("one-letter top level") << "ann@orvane.t" << false;
    QTest::newRow("no dot after the at sign") << "ann@localhost" << false;
    QTest::newRow("empty") << "" << false;
}

void TestSharedWidgets::emailCheck()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(Helpers::isValidEmail(text), valid);
}

void TestSharedWidgets::versionTexts()
{
    QCOMPARE(Helpers::getVersion(), QString("1.0.1"));
    QCOMPARE(Helpers::getBuild(), QString("42"));
    QCOMPARE(Helpers::getFullVersion(), QString("1.0.1 (42)"));
}

void TestSharedWidgets::screenshot()
{
    QWidget window;
    window.setWindowTitle("Shared widgets");
    window.setStyleSheet(
        QStringLiteral("background-color: %1;").arg(Theme::styleColor(Theme::mainBackground)));
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
    auto *button = new AppButton(&window);
    button->setText("Sign in");
    button->setMinimumHeight(40);
    column->addWidget(button);
    auto *field = new AppLineEdit(&window);
    field->setPlaceholderText("E-mail");
    field->setMinimumHeight(40);
    column->addWidget(field);
    auto *failed = new AppLineEdit(&window);
    failed->setText("not an address");
    failed->setMinimumHeight(40);
    failed->setError(true);
    column->addWidget(failed);
    auto *filters = new QHBoxLayout;
    for (bool lit : {true, false}) {
        auto *filter = new FilterButton(&window);
        filter->setText(lit ? "All cameras" : "Today");
        filter->setHighlighted(lit);
        filters->addWidget(filter);
    }
    column->addLayout(filters);
    window.resize(420, 640);
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
