#include "rtppacket.h"

#include <QtEndian>

QByteArray RtpPacket::encode() const
{
    QByteArray data(12, Qt::Uninitialized);
    auto *header = reinterpret_cast<uchar *>(data.data());
    header[0] = 0x80;
    header[1] = uchar((marker ? 0x80 : 0) | (payloadType & 0x7f));
    qToBigEndian(sequence, header + 2);
    qToBigEndian(timestamp, header + 4);
    qToBigEndian(ssrc, header + 8);
    return data + payload;
}

bool RtpPacket::decode(const QByteArray &data, RtpPacket *packet)
{
    if (data.size() < 12)
        return false;
    const auto *header = reinterpret_cast<const uchar *>(data.constData());
    if ((header[0] >> 6) != 2)
        return false;
    int offset = 12 + 4 * (header[0] & 0x0f);
    if (header[0] & 0x10) {
        if (data.size() < offset + 4)
            return false;
        offset += 4 + 4 * qFromBigEndian<quint16>(header + offset + 2);
    }
    int end = data.size();
    if (header[0] & 0x20) {
        const int padding = header[end - 1];
        if (padding == 0 || padding > end - offset)
            return false;
        end -= padding;
    }
    if (offset > end)
        return false;
    packet->marker = header[1] & 0x80;
    packet->payloadType = header[1] & 0x7f;
    packet->sequence = qFromBigEndian<quint16>(header + 2);
    packet->timestamp = qFromBigEndian<quint32>(header + 4);
    packet->ssrc = qFromBigEndian<quint32>(header + 8);
    packet->payload = data.mid(offset, end - offset);
    return true;
}
