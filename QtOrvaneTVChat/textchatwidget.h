#ifndef TEXTCHATWIDGET_H
#define TEXTCHATWIDGET_H

#include <QWidget>

#include <functional>

class QListWidgetItem;
class ChatCell;

namespace Ui {
class TextChatWidget;
}

// The text pane: message bubbles (own on the right, others' on the left), an
// empty-state notice until the first message, and the input. Enter sends,
// Shift+Enter breaks the line. Nothing is kept beyond the cells of this run.
class TextChatWidget : public QWidget
{
    Q_OBJECT
public:
    explicit TextChatWidget(QWidget *parent = nullptr);
    ~TextChatWidget() override;

    // For the window and for tests: the cells in order.
    int cellCount() const;
    ChatCell *cellAt(int row) const;
    bool isEmptyNoticeShown() const;

signals:
    void sendMessage(QString message);
    void recordingMessageSelected(QString id);

public slots:
    void addOtherChat(const QString &name, const QString &message, const QString &timestamp,
                      bool isSharedRecording = false, std::function<void()> callback = {},
                      bool isFollowUp = false);
    void addSelfChat(const QString &message, const QString &timestamp, bool isSharedRecording = false,
                     bool isFollowUp = false);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void append(QListWidgetItem *item, ChatCell *cell);
    QSize cellSize() const;

    Ui::TextChatWidget *ui;
};

#endif // TEXTCHATWIDGET_H
