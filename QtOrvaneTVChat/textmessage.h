#ifndef TEXTMESSAGE_H
#define TEXTMESSAGE_H

#include <QMetaType>
#include <QString>

// One chat message as the panes show it.
struct TextMessage
{
    QString id;
    QString message; // the body; a custom URL for a shared recording
    QString type; // "normal" or "customURL"
    double timestamp = 0; // milliseconds since the epoch, from the hub
    QString sender; // display name of the sender
    QString senderId;
    QString customType; // the URL's "type" item for "customURL" ("shareRecording")
    bool flagOne = false;
    bool flagTwo = false;

    // Reads a received message: JSON {"id","message","type"} or, when the text is
    // not such JSON, the raw text as a normal message.
    static TextMessage fromReceived(const QString &sender, const QString &text, double serverTimestamp);
    // The body for a normal message; the recording's name for a shared recording.
    QString displayText() const;
    bool isSharedRecording() const { return customType == QLatin1String("shareRecording"); }
    // The value of one query item of the body read as a URL; empty when absent.
    QString queryItem(const QString &name) const;
};

Q_DECLARE_METATYPE(TextMessage)

#endif // TEXTMESSAGE_H
