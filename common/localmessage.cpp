#include "localmessage.h"

#include <QDataStream>
#include <QtEndian>

namespace LocalMessage {

QByteArray encode(const QString &text)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_5_6);
    out << qint32(text.size()) << text;
    return bytes;
}

} // namespace LocalMessage

void LocalMessageReader::feed(const QByteArray &bytes)
{
    if (!m_failed)
        m_buffer.append(bytes);
}

bool LocalMessageReader::next(QString *text)
{
    if (m_failed || m_buffer.size() < 8)
        return false;
    const auto *data = reinterpret_cast<const uchar *>(m_buffer.constData());
    const qint32 units = qFromBigEndian<qint32>(data);
    const quint32 stringBytes = qFromBigEndian<quint32>(data + 4);
    if (units < 0 || units > LocalMessage::maximumLength) {
        m_failed = true;
        return false;
    }
    // QDataStream writes a null string as 0xffffffff; our writers send it for an
    // empty text only, whose length field is 0.
    if (stringBytes == 0xffffffffu) {
        if (units != 0) {
            m_failed = true;
            return false;
        }
        m_buffer.remove(0, 8);
        *text = QString();
        return true;
    }
    if (stringBytes != quint32(units) * 2) {
        m_failed = true;
        return false;
    }
    const int total = 8 + int(stringBytes);
    if (m_buffer.size() < total)
        return false;
    // An empty text stays distinct from the null one (QDataStream keeps both).
    QString result = units == 0 ? QStringLiteral("") : QString(units, Qt::Uninitialized);
    const auto *payload = data + 8;
    for (int i = 0; i < units; ++i)
        result[i] = QChar(qFromBigEndian<quint16>(payload + 2 * i));
    m_buffer.remove(0, total);
    *text = result;
    return true;
}

void LocalMessageReader::reset()
{
    m_buffer.clear();
    m_failed = false;
}
