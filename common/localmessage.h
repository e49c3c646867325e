#ifndef LOCALMESSAGE_H
#define LOCALMESSAGE_H

#include <QByteArray>
#include <QString>

// The one framing of the messages our programs pass over local sockets (the OAuth
// helper's code, the chat program's recording links):
//   qint32 big-endian  the text's length in UTF-16 code units
//   QString            as QDataStream (version Qt_5_6) writes it: quint32 byte
//                      count, then the UTF-16 big-endian code units
// The length field counts code units while the payload holds twice as many bytes,
// so a reader cannot trust the first field alone; LocalMessageReader waits for the
// string's own byte count before it takes a message.
namespace LocalMessage {

QByteArray encode(const QString &text);

// Longest text a reader takes: links and codes are short; anything longer is a
// peer that is broken or hostile, and its connection is dropped.
constexpr int maximumLength = 64 * 1024;

} // namespace LocalMessage

// Collects the bytes of one connection and hands out whole messages: a message
// split across reads waits for its rest, several in one read come out one by one.
// A negative or absurd length, or a payload that disagrees with its length, puts
// the reader into the failed state (the caller drops the connection); nothing is
// allocated for a length before its bytes have arrived.
class LocalMessageReader
{
public:
    // Appends bytes read from the connection.
    void feed(const QByteArray &bytes);
    // Takes the next whole message into *text. False when none is complete yet
    // or the reader has failed.
    bool next(QString *text);
    bool failed() const { return m_failed; }
    // Bytes received and not yet taken.
    int pending() const { return m_buffer.size(); }
    void reset();

private:
    QByteArray m_buffer;
    bool m_failed = false;
};

#endif // LOCALMESSAGE_H
