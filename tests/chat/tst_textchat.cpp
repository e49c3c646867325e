// The text pane as a person uses it: typing and Enter, the empty-state notice,
// bubbles on the right and the left with names, initials and colours, and
// clicks on messages.
#include "chatcell.h"
#include "chattheme.h"
#include "mychatcell.h"
#include "otherschatcell.h"
#include "textchatwidget.h"
#include "screenshots.h"

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QtTest>

class TestTextChat : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void enterSendsAndClears();
    void emptyInputSendsNothing();
    void shiftEnterBreaksTheLine();
    void firstCellHidesTheNoticeForGood();
    void bubblesSitOnTheirSides();
    void followUpsShowNoNameRow();
    void othersCellsShowInitialsInTheNamesColour();
    void clickingAnotherUsersMessageCallsBackOnce();
    void ownCellsNeverReactToClicks();
    void messagesAreShownAsText();
    void longMessagesWrapToThePane();

private:
    void type(const QString &text);
    QPlainTextEdit *input() const
    {
        return m_pane->findChild<QPlainTextEdit *>(QStringLiteral("plainTextEdit"));
    }
    QListWidget *list() const { return m_pane->findChild<QListWidget *>(QStringLiteral("listWidget")); }
    QPoint centreOf(int row) const;

    TextChatWidget *m_pane = nullptr;
};

void TestTextChat::init()
{
    m_pane = new TextChatWidget;
    m_pane->setStyleSheet(QStringLiteral("background: #0F1214;"));
    m_pane->resize(600, 700);
    m_pane->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pane));
    input()->setFocus();
}

void TestTextChat::cleanup()
{
    delete m_pane;
    m_pane = nullptr;
}

void TestTextChat::type(const QString &text)
{
    QTest::keyClicks(input(), text);
}

QPoint TestTextChat::centreOf(int row) const
{
    return list()->visualItemRect(list()->item(row)).center();
}

void TestTextChat::enterSendsAndClears()
{
    QSignalSpy sent(m_pane, &TextChatWidget::sendMessage);
    type(QStringLiteral("  hello there "));
    QTest::keyClick(input(), Qt::Key_Return);
    QCOMPARE(sent.count(), 1);
    QCOMPARE(sent.at(0).at(0).toString(), QStringLiteral("  hello there "));
    QCOMPARE(input()->toPlainText(), QString());
    type(QStringLiteral("keypad"));
    QTest::keyClick(input(), Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(sent.count(), 2);
}

void TestTextChat::emptyInputSendsNothing()
{
    QSignalSpy sent(m_pane, &TextChatWidget::sendMessage);
    QTest::keyClick(input(), Qt::Key_Return);
    QCOMPARE(sent.count(), 0);
    QCOMPARE(input()->toPlainText(), QString());
    QCOMPARE(input()->blockCount(), 1);
}

void TestTextChat::shiftEnterBreaksTheLine()
{
    QSignalSpy sent(m_pane, &TextChatWidget::sendMessage);
    type(QStringLiteral("first"));
    QTest::keyClick(input(), Qt::Key_Return, Qt::ShiftModifier);
    type(QStringLiteral("second"));
    QCOMPARE(sent.count(), 0);
    QTest::keyClick(input(), Qt::Key_Return);
    QCOMPARE(sent.count(), 1);
    const QString message = sent.at(0).at(0).toString();
    QVERIFY2(message == QStringLiteral("first\nsecond")
                 || message
                     == QStringLiteral("first") + QChar(QChar::LineSeparator) + QStringLiteral("second"),
             qPrintable(message));
    QVERIFY(message.startsWith(QLatin1String("first")) && message.endsWith(QLatin1String("second"))
            && message.size() == 12);
}

void TestTextChat::firstCellHidesTheNoticeForGood()
{
    QVERIFY(m_pane->isEmptyNoticeShown());
    QVERIFY(m_pane->findChild<QWidget *>(QStringLiteral("empyWidget"))->isVisible());
    m_pane->addSelfChat(QStringLiteral("one"), QStringLiteral("10:00:00 AM, Dec 11"));
    QVERIFY(!m_pane->isEmptyNoticeShown());
    m_pane->addOtherChat(QStringLiteral("Chloé Martin"), QStringLiteral("two"),
                         QStringLiteral("10:00:01 AM, Dec 11"));
    QVERIFY(!m_pane->isEmptyNoticeShown());
    QCOMPARE(m_pane->cellCount(), 2);
}

void TestTextChat::bubblesSitOnTheirSides()
{
    m_pane->addSelfChat(QStringLiteral("mine"), QStringLiteral("10:00:00 AM, Dec 11"));
    m_pane->addOtherChat(QStringLiteral("Chloé Martin"), QStringLiteral("theirs"),
                         QStringLiteral("10:00:01 AM, Dec 11"));
    QTest::qWait(50);
    const int middle = list()->viewport()->width() / 2;
    auto *own = m_pane->findChildren<MyChatCell *>().value(0);
    auto *other = m_pane->findChildren<OthersChatCell *>().value(0);
    QVERIFY(own && other);
    QWidget *ownBubble = own->findChild<QWidget *>(QStringLiteral("background"));
    QWidget *otherBubble = other->findChild<QWidget *>(QStringLiteral("background"));
    const QRect ownRect(ownBubble->mapTo(list()->viewport(), QPoint()), ownBubble->size());
    const QRect otherRect(otherBubble->mapTo(list()->viewport(), QPoint()), otherBubble->size());
    QVERIFY2(ownRect.left() > middle, qPrintable(QStringLiteral("own bubble at %1").arg(ownRect.left())));
    QVERIFY2(otherRect.right() < middle,
             qPrintable(QStringLiteral("other bubble ends at %1").arg(otherRect.right())));
    TestScreenshots::save(m_pane, QStringLiteral("chat-text-pane"));
}

void TestTextChat::followUpsShowNoNameRow()
{
    m_pane->addOtherChat(QStringLiteral("Chloé Martin"), QStringLiteral("first"), QStringLiteral("t"), false,
                         {}, false);
    m_pane->addOtherChat(QStringLiteral("Chloé Martin"), QStringLiteral("second"), QStringLiteral("t"), false,
                         {}, true);
    auto *first = qobject_cast<OthersChatCell *>(m_pane->cellAt(0));
    auto *second = qobject_cast<OthersChatCell *>(m_pane->cellAt(1));
    QVERIFY(first && second);
    QVERIFY(first->isNameShown());
    QVERIFY(!second->isNameShown());
    QVERIFY(!first->isFollowUp());
    QVERIFY(second->isFollowUp());
    const QString firstStyle = first->findChild<QWidget *>(QStringLiteral("background"))->styleSheet();
    const QString secondStyle = second->findChild<QWidget *>(QStringLiteral("background"))->styleSheet();
    QVERIFY2(firstStyle.contains(QLatin1String("chat_bubble_transparent_arrow.png) 16 21 21 21")),
             qPrintable(firstStyle));
    QVERIFY2(secondStyle.contains(QLatin1String("chat_bubble_transparent.png) 4 21 21 21")),
             qPrintable(secondStyle));
    // The follow-up needs less height: no name row.
    QTRY_VERIFY(list()->item(1)->sizeHint().height() < list()->item(0)->sizeHint().height());
}

void TestTextChat::othersCellsShowInitialsInTheNamesColour()
{
    const QString name = QStringLiteral("Chloé Martin");
    m_pane->addOtherChat(name, QStringLiteral("hi"), QStringLiteral("t"));
    auto *cell = qobject_cast<OthersChatCell *>(m_pane->cellAt(0));
    QVERIFY(cell);
    QCOMPARE(cell->name(), name);
    QCOMPARE(cell->initials(), QStringLiteral("CM"));
    auto *badge = cell->findChild<QLabel *>(QStringLiteral("initialsLabel"));
    QTest::qWait(50);
    // The badge's middle is painted in the name's colour.
    const QImage image = badge->grab().toImage();
    const QColor painted = image.pixelColor(image.width() / 2, 3);
    QCOMPARE(painted.rgb(), ChatTheme::nameColor(name).rgb());
}

void TestTextChat::clickingAnotherUsersMessageCallsBackOnce()
{
    int calls = 0;
    m_pane->addOtherChat(QStringLiteral("Chloé Martin"), QStringLiteral("Crane lift"), QStringLiteral("t"),
                         true, [&calls] { ++calls; });
    m_pane->addSelfChat(QStringLiteral("mine"), QStringLiteral("t"));
    QTest::qWait(50);
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, centreOf(0));
    QCOMPARE(calls, 1);
    // The same cell does not react again until another item has been current.
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, centreOf(0));
    QCOMPARE(calls, 1);
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, centreOf(1));
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, centreOf(0));
    QCOMPARE(calls, 2);
    const QString style = m_pane->cellAt(0)->findChild<QLabel *>(QStringLiteral("label"))->styleSheet();
    QVERIFY2(style.contains(QLatin1String("underline")) && style.contains(ChatTheme::linkColor().name()),
             qPrintable(style));
}

void TestTextChat::ownCellsNeverReactToClicks()
{
    int calls = 0;
    m_pane->addSelfChat(QStringLiteral("mine"), QStringLiteral("t"));
    m_pane->addOtherChat(QStringLiteral("Chloé Martin"), QStringLiteral("theirs"), QStringLiteral("t"), false,
                         [&calls] { ++calls; });
    m_pane->addSelfChat(QStringLiteral("mine again"), QStringLiteral("t"));
    QTest::qWait(50);
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, centreOf(0));
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, centreOf(2));
    QCOMPARE(calls, 0);
    QCOMPARE(list()->selectedItems().size(), 0);
    // The other user's message still answers after clicks on own ones.
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, centreOf(1));
    QCOMPARE(calls, 1);
}

void TestTextChat::messagesAreShownAsText()
{
    m_pane->addOtherChat(QStringLiteral("<b>Eve</b>"), QStringLiteral("<img src=x> <b>bold</b>"),
                         QStringLiteral("t"));
    auto *cell = m_pane->cellAt(0);
    auto *label = cell->findChild<QLabel *>(QStringLiteral("label"));
    QCOMPARE(label->textFormat(), Qt::PlainText);
    QCOMPARE(label->text(), QStringLiteral("<img src=x> <b>bold</b>"));
    QCOMPARE(cell->findChild<QLabel *>(QStringLiteral("nameLabel"))->textFormat(), Qt::PlainText);
}

void TestTextChat::longMessagesWrapToThePane()
{
    const QString words = QStringLiteral("a long message ").repeated(40);
    m_pane->addSelfChat(QStringLiteral("short"), QStringLiteral("t"));
    m_pane->addSelfChat(words, QStringLiteral("t"), false, true);
    QTest::qWait(50);
    QTRY_VERIFY(list()->item(1)->sizeHint().height() > 2 * list()->item(0)->sizeHint().height());
    QVERIFY(list()->item(1)->sizeHint().width() <= list()->viewport()->width());
    QCOMPARE(list()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

QTEST_MAIN(TestTextChat)
#include "tst_textchat.moc"
