#ifndef VOICECIPHER_H
#define VOICECIPHER_H

#include <QByteArray>
#include <QtGlobal>

// Seals and opens the payload of one voice packet with the channel's secret, in
// one of the engine's encryption modes (AES-128-XTS, AES-128-ECB, AES-256-XTS,
// SM4-128-ECB; keys are derived from the secret with SHA-256, or SHA-512 for the
// 256-bit mode). Each sealed block holds a marker and the payload's length, so a
// packet sealed with another secret opens as nothing: silence, never noise.
// Without a mode the payload travels as it is.
class VoiceCipher
{
public:
    VoiceCipher() = default;

    // False for a mode the engine does not offer.
    static bool supports(int mode);
    // Mode 0 turns encryption off.
    bool setKey(int mode, const QByteArray &secret);
    bool isEnabled() const { return m_mode != 0; }

    // sequence and timestamp of the packet make the tweak of the XTS modes.
    QByteArray seal(const QByteArray &payload, quint32 ssrc, quint16 sequence, quint32 timestamp) const;
    // False when the data does not open with this key (another secret, damage).
    bool open(const QByteArray &sealed, quint32 ssrc, quint16 sequence, quint32 timestamp,
              QByteArray *payload) const;

private:
    QByteArray run(bool encrypt, const QByteArray &data, quint32 ssrc, quint16 sequence,
                   quint32 timestamp) const;

    int m_mode = 0;
    QByteArray m_key;
};

#endif // VOICECIPHER_H
