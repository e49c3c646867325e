#include "chatcell.h"

#include <QLabel>
#include <QLayout>
#include <QFontMetrics>
#include <QResizeEvent>

ChatCell::ChatCell(QWidget *parent)
    : QWidget(parent)
{ }

void ChatCell::attachBubble(QWidget *background, QLabel *message, QLabel *time, QLayout *bubbleLayout,
                            bool followUp)
{
    m_background = background;
    m_message = message;
    m_time = time;
    m_bubbleLayout = bubbleLayout;
    m_followUp = followUp;
    // A message is shown as written: markup in it is text, not formatting.
    m_message->setTextFormat(Qt::PlainText);
    m_time->setTextFormat(Qt::PlainText);
}

void ChatCell::setMessage(const QString &text)
{
    m_message->setText(text);
}

void ChatCell::setTime(const QString &text)
{
    m_time->setText(text);
}

QString ChatCell::message() const
{
    return m_message->text();
}

void ChatCell::fit(const QSize &size)
{
    const QMargins margins = m_bubbleLayout->contentsMargins();
    const int labelWidth = qMax(0, size.width() - margins.left() - margins.right());
    for (QLabel *label : {m_message, m_time}) {
        label->setMaximumWidth(labelWidth);
        // A wrapping label would otherwise settle for a narrow column: short
        // messages keep to one line, long ones fill the width before they wrap.
        int natural = 0;
        for (const QString &line : label->text().split(QLatin1Char('\n')))
            natural = qMax(natural, label->fontMetrics().horizontalAdvance(line) + 2);
        label->setMinimumWidth(qMin(natural, labelWidth));
        label->resize(size);
        label->adjustSize();
    }
    m_bubbleLayout->invalidate();
    if (layout())
        layout()->invalidate();
    adjustSize();
}

void ChatCell::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int width = event->size().width();
    const int height = hasHeightForWidth() ? heightForWidth(width) : sizeHint().height();
    emit onResize(QSize(width, height));
}
