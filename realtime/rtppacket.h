#ifndef RTPPACKET_H
#define RTPPACKET_H

#include <QByteArray>
#include <QtGlobal>

// One RTP packet of the voice media (version 2, no extensions or contributing
// sources of ours; those of others are skipped when read).
struct RtpPacket
{
    static constexpr quint8 opusPayloadType = 111;

    quint8 payloadType = opusPayloadType;
    bool marker = false;
    quint16 sequence = 0;
    quint32 timestamp = 0;
    quint32 ssrc = 0;
    QByteArray payload;

    QByteArray encode() const;
    // False for anything that is not a whole RTP version 2 packet.
    static bool decode(const QByteArray &data, RtpPacket *packet);
};

#endif // RTPPACKET_H
