#ifndef CHATCELL_H
#define CHATCELL_H

#include <QWidget>

class QLabel;
class QLayout;

// What the own and the other users' message cells share: a bubble with the
// message and its time, sized to the list's width, that reports the height it
// needs whenever its width changes.
class ChatCell : public QWidget
{
    Q_OBJECT
public:
    explicit ChatCell(QWidget *parent = nullptr);

    void setMessage(const QString &text);
    void setTime(const QString &text);
    QString message() const;
    // Narrows the labels to the width and lets the cell take the height they need.
    void fit(const QSize &size);
    // A follow-up continues its sender's run: no arrow, no name row.
    static bool isFollowUpImage(const QString &image) { return !image.contains(QLatin1String("arrow")); }
    bool isFollowUp() const { return m_followUp; }

signals:
    void onResize(QSize size);

protected:
    // Called by the subclasses once their form is set up.
    void attachBubble(QWidget *background, QLabel *message, QLabel *time, QLayout *bubbleLayout,
                      bool followUp);
    void resizeEvent(QResizeEvent *event) override;

    QWidget *m_background = nullptr;
    QLabel *m_message = nullptr;
    QLabel *m_time = nullptr;
    QLayout *m_bubbleLayout = nullptr;
    bool m_followUp = false;
};

#endif // CHATCELL_H
