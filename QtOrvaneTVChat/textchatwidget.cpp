#include "textchatwidget.h"
#include "ui_textchatwidget.h"

#include "chatresources.h"
#include "mychatcell.h"
#include "otherschatcell.h"

#include <QDebug>
#include <QKeyEvent>
#include <QScrollBar>

namespace {

QString bubbleImage(bool own, bool followUp)
{
    if (own)
        return followUp ? QStringLiteral(":/chat_bubble_self.png")
                        : QStringLiteral(":/chat_bubble_self_arrow.png");
    return followUp ? QStringLiteral(":/chat_bubble_transparent.png")
                    : QStringLiteral(":/chat_bubble_transparent_arrow.png");
}

} // namespace

TextChatWidget::TextChatWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::TextChatWidget)
{
    initChatResources();
    ui->setupUi(this);
    ui->plainTextEdit->installEventFilter(this);
    // The pane opens ready for typing.
    ui->plainTextEdit->setFocus();
    // Clicking another user's message makes its item current, which selects it once.
    connect(ui->listWidget, &QListWidget::currentItemChanged, this, [this](QListWidgetItem *current) {
        if (auto *cell = qobject_cast<OthersChatCell *>(ui->listWidget->itemWidget(current)))
            emit cell->onSelect();
    });
}

TextChatWidget::~TextChatWidget()
{
    delete ui;
}

QSize TextChatWidget::cellSize() const
{
    return QSize(qMax(0, ui->listWidget->contentsRect().width() - 64), 100);
}

void TextChatWidget::addOtherChat(const QString &name, const QString &message, const QString &timestamp,
                                  bool isSharedRecording, std::function<void()> callback, bool isFollowUp)
{
    auto *item = new QListWidgetItem(ui->listWidget);
    auto *cell = new OthersChatCell(bubbleImage(false, isFollowUp), name, ui->listWidget);
    cell->setMessage(message);
    cell->setTime(timestamp);
    if (isSharedRecording)
        cell->setSharedRecording();
    connect(cell, &OthersChatCell::onSelect, this, [cell, callback] {
        qDebug() << "Item selected:" << cell->message();
        if (callback)
            callback();
    });
    append(item, cell);
}

void TextChatWidget::addSelfChat(const QString &message, const QString &timestamp, bool, bool isFollowUp)
{
    auto *item = new QListWidgetItem(ui->listWidget);
    auto *cell = new MyChatCell(bubbleImage(true, isFollowUp), ui->listWidget);
    cell->setMessage(message);
    cell->setTime(timestamp);
    append(item, cell);
}

void TextChatWidget::append(QListWidgetItem *item, ChatCell *cell)
{
    connect(cell, &ChatCell::onResize, this,
            [item](QSize size) { item->setSizeHint(QSize(size.width() - 16, size.height())); });
    ui->listWidget->addItem(item);
    ui->listWidget->setItemWidget(item, cell);
    const QSize size = cellSize();
    cell->fit(size);
    item->setSizeHint(size);
    if (ui->listWidget->count() > 0)
        ui->empyWidget->hide();
    ui->listWidget->scrollToBottom();
}

void TextChatWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // Wrapped messages follow the pane's width.
    const QSize size = cellSize();
    for (int row = 0; row < ui->listWidget->count(); ++row) {
        if (ChatCell *cell = cellAt(row))
            cell->fit(size);
    }
}

int TextChatWidget::cellCount() const
{
    return ui->listWidget->count();
}

ChatCell *TextChatWidget::cellAt(int row) const
{
    return qobject_cast<ChatCell *>(ui->listWidget->itemWidget(ui->listWidget->item(row)));
}

bool TextChatWidget::isEmptyNoticeShown() const
{
    return !ui->empyWidget->isHidden();
}

bool TextChatWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->plainTextEdit && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (key->modifiers() & Qt::ShiftModifier)
                return false;
            const QString text = ui->plainTextEdit->toPlainText();
            if (!text.isEmpty()) {
                emit sendMessage(text);
                ui->plainTextEdit->clear();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
