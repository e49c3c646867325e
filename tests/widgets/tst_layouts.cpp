// The two custom layouts placing real widgets: rows that wrap and headers that
// start rows, and a single item kept at its aspect ratio.
#include "ui/aspectratiosingleitemlayout.h"
#include "ui/flowlayout.h"
#include "ui/headerwidget.h"

#include <QtTest>

using Geometry = QVector<QRect>;

class TestLayouts : public QObject
{
    Q_OBJECT

private slots:
    void flowRows_data();
    void flowRows();
    void flowHeightCallback();
    void flowMinimumSize();
    void aspectRatio_data();
    void aspectRatio();
    void aspectRatioItems();
};

void TestLayouts::flowRows_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<QStringList>("items"); // "w" is a 100x40 widget, "h" a 300x30 header
    QTest::addColumn<Geometry>("expected");
    QTest::addColumn<int>("height");
    QTest::newRow("one row") << 320 << QStringList{"w", "w", "w"}
                             << Geometry{{0, 0, 100, 40}, {105, 0, 100, 40}, {210, 0, 100, 40}} << 40;
    QTest::newRow("exact fit stays on the row")
        << 310 << QStringList{"w", "w", "w"}
        << Geometry{{0, 0, 100, 40}, {105, 0, 100, 40}, {210, 0, 100, 40}} << 40;
    QTest::newRow("wraps") << 300 << QStringList{"w", "w", "w"}
                           << Geometry{{0, 0, 100, 40}, {105, 0, 100, 40}, {0, 47, 100, 40}} << 87;
    QTest::newRow("all wider than the rectangle")
        << 50 << QStringList{"w", "w", "w"} << Geometry{{0, 0, 100, 40}, {0, 47, 100, 40}, {0, 94, 100, 40}}
        << 134;
    QTest::newRow("header starts a row with room left")
        << 600 << QStringList{"w", "h", "w"}
        << Geometry{{0, 0, 100, 40}, {0, 47, 300, 30}, {305, 47, 100, 40}} << 87;
    QTest::newRow("header first sits one spacing down")
        << 600 << QStringList{"h", "w"} << Geometry{{0, 7, 300, 30}, {305, 7, 100, 40}} << 47;
}

void TestLayouts::flowRows()
{
    QFETCH(int, width);
    QFETCH(QStringList, items);
    QFETCH(Geometry, expected);
    QFETCH(int, height);

    QWidget container;
    auto *layout = new FlowLayout(&container, 0, 5, 7);
    QVector<QWidget *> widgets;
    for (const QString &kind : items) {
        QWidget *widget = kind == "h" ? static_cast<QWidget *>(new HeaderWidget(&container, "Section"))
                                      : new QWidget(&container);
        widget->setFixedSize(kind == "h" ? QSize(300, 30) : QSize(100, 40));
        layout->addWidget(widget);
        widgets << widget;
    }
    layout->setGeometry(QRect(0, 0, width, 500));
    for (int i = 0; i < widgets.size(); ++i)
        QCOMPARE(widgets.at(i)->geometry(), expected.at(i));
    QCOMPARE(layout->heightForWidth(width), height);
    QVERIFY(layout->hasHeightForWidth());
    QCOMPARE(layout->count(), items.size());
    QVERIFY(!layout->itemAt(items.size()));
    QVERIFY(!layout->takeAt(-1));
}

void TestLayouts::flowHeightCallback()
{
    QVector<int> heights;
    QWidget container;
    auto *layout = new FlowLayout(&container, 0, 5, 7, [&heights](int height) { heights << height; });
    for (int i = 0; i < 3; ++i) {
        auto *widget = new QWidget(&container);
        widget->setFixedSize(100, 40);
        layout->addWidget(widget);
    }
    layout->setGeometry(QRect(0, 0, 320, 500));
    layout->setGeometry(QRect(0, 0, 330, 500)); // same height: no call
    QCOMPARE(heights, QVector<int>{40});
    layout->setGeometry(QRect(0, 0, 150, 500));
    QCOMPARE(heights, (QVector<int>{40, 134}));
}

void TestLayouts::flowMinimumSize()
{
    QWidget container;
    auto *layout = new FlowLayout(&container, 4, 5, 7);
    auto *small = new QWidget(&container);
    small->setMinimumSize(10, 10);
    small->setMaximumSize(120, 30);
    auto *tall = new QWidget(&container);
    tall->setMinimumSize(10, 10);
    tall->setMaximumSize(80, 60);
    auto *none = new QWidget(&container); // no minimum: left out
    none->setMaximumSize(500, 500);
    none->setMinimumSize(0, 0);
    layout->addWidget(small);
    layout->addWidget(tall);
    layout->addWidget(none);
    QCOMPARE(layout->minimumSize(), QSize(120 + 8, 60 + 8));
    QCOMPARE(layout->sizeHint(), layout->minimumSize());
    QCOMPARE(layout->expandingDirections(), Qt::Orientations());
}

void TestLayouts::aspectRatio_data()
{
    QTest::addColumn<QSize>("area");
    QTest::addColumn<int>("margin");
    QTest::addColumn<int>("alignment");
    QTest::addColumn<QRect>("expected");
    const int centred = 0;
    QTest::newRow("wide area, centred") << QSize(1000, 300) << 0 << centred << QRect(233, 0, 533, 300);
    QTest::newRow("tall area, centred") << QSize(300, 1000) << 0 << centred << QRect(0, 416, 300, 168);
    QTest::newRow("wide area with margin") << QSize(1000, 300) << 10 << centred << QRect(251, 10, 497, 280);
    QTest::newRow("wide area, left") << QSize(1000, 300) << 10 << int(Qt::AlignLeft)
                                     << QRect(10, 10, 497, 280);
    QTest::newRow("wide area, right")
        << QSize(1000, 300) << 10 << int(Qt::AlignRight) << QRect(493, 10, 497, 280);
    QTest::newRow("tall area, top") << QSize(300, 1000) << 0 << int(Qt::AlignTop) << QRect(0, 0, 300, 168);
    QTest::newRow("tall area, bottom")
        << QSize(300, 1000) << 0 << int(Qt::AlignBottom) << QRect(0, 832, 300, 168);
    QTest::newRow("exact 16:9") << QSize(1600, 900) << 0 << centred << QRect(0, 0, 1600, 900);
}

void TestLayouts::aspectRatio()
{
    QFETCH(QSize, area);
    QFETCH(int, margin);
    QFETCH(int, alignment);
    QFETCH(QRect, expected);
    QWidget container;
    auto *layout = new AspectRatioSingleItemLayout(&container, 16.0 / 9.0);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setAlignment(Qt::Alignment(alignment));
    auto *tile = new QWidget(&container);
    layout->addWidget(tile);
    layout->setGeometry(QRect(QPoint(0, 0), area));
    QCOMPARE(tile->geometry(), expected);
}

void TestLayouts::aspectRatioItems()
{
    QWidget container;
    auto *layout = new AspectRatioSingleItemLayout(&container, 2.0);
    layout->setContentsMargins(5, 5, 5, 5);
    QCOMPARE(layout->count(), 0);
    QCOMPARE(layout->sizeHint(), QSize(10, 10));
    QVERIFY(!layout->widget());
    auto *first = new QWidget(&container);
    first->setMinimumSize(20, 10);
    layout->addWidget(first);
    QCOMPARE(layout->widget(), first);
    QCOMPARE(layout->count(), 1);
    QCOMPARE(layout->minimumSize(), QSize(30, 20));
    QCOMPARE(layout->heightForWidth(210), 110);
    QVERIFY(!layout->hasHeightForWidth());
    QCOMPARE(layout->expandingDirections(), Qt::Horizontal | Qt::Vertical);
    QVERIFY(!layout->itemAt(1));
    // A second item replaces the first.
    auto *second = new QWidget(&container);
    layout->addWidget(second);
    QCOMPARE(layout->count(), 1);
    QCOMPARE(layout->widget(), second);
    QLayoutItem *taken = layout->takeAt(3);
    QCOMPARE(taken->widget(), second);
    delete taken;
    QCOMPARE(layout->count(), 0);
}

QTEST_MAIN(TestLayouts)
#include "tst_layouts.moc"
