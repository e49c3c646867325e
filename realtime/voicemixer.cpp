#include "voicemixer.h"

#include <opus/opus.h>

#include <cstring>

VoiceMixer::VoiceMixer(QObject *parent)
    : QIODevice(parent)
{
    open(QIODevice::ReadOnly);
}

VoiceMixer::~VoiceMixer()
{
    clear();
}

void VoiceMixer::addParticipant(quint32 uid)
{
    if (m_participants.contains(uid))
        return;
    auto participant = std::make_shared<Participant>();
    int error = OPUS_OK;
    participant->decoder = opus_decoder_create(sampleRate, 1, &error);
    if (error != OPUS_OK)
        participant->decoder = nullptr;
    participant->level.setSmoothing(m_smoothing);
    participant->muted = m_mutes.value(uid);
    m_participants.insert(uid, participant);
}

void VoiceMixer::removeParticipant(quint32 uid)
{
    const auto participant = m_participants.take(uid);
    if (!participant)
        return;
    m_gone.frames += participant->frames;
    m_gone.concealed += participant->concealed;
    if (participant->decoder)
        opus_decoder_destroy(participant->decoder);
}

void VoiceMixer::clear()
{
    for (const quint32 uid : m_participants.keys())
        removeParticipant(uid);
    m_pending.clear();
}

void VoiceMixer::receive(quint32 uid, quint16 sequence, const QByteArray &opus)
{
    if (!m_participants.contains(uid))
        addParticipant(uid);
    m_participants.value(uid)->buffer.push(sequence, opus);
}

void VoiceMixer::setMuted(quint32 uid, bool muted)
{
    m_mutes.insert(uid, muted);
    if (const auto participant = m_participants.value(uid))
        participant->muted = muted;
}

void VoiceMixer::setSmoothing(int smoothing)
{
    m_smoothing = smoothing;
    for (const auto &participant : qAsConst(m_participants))
        participant->level.setSmoothing(smoothing);
}

QMap<quint32, std::pair<unsigned int, bool>> VoiceMixer::takeLevels()
{
    QMap<quint32, std::pair<unsigned int, bool>> levels;
    for (auto it = m_participants.begin(); it != m_participants.end(); ++it) {
        const unsigned int volume = it.value()->level.take();
        levels.insert(it.key(), {volume, it.value()->level.voiceActive()});
    }
    return levels;
}

VoiceMixer::Statistics VoiceMixer::statistics() const
{
    Statistics total = m_gone;
    for (const auto &participant : qAsConst(m_participants)) {
        total.frames += participant->frames;
        total.concealed += participant->concealed;
    }
    return total;
}

qint64 VoiceMixer::bytesAvailable() const
{
    // Always ready: silence is played when nobody speaks.
    return m_pending.size() + frameSamples * 2 + QIODevice::bytesAvailable();
}

bool VoiceMixer::decodeTurn(Participant &participant, qint16 *pcm)
{
    QByteArray frame;
    QByteArray following;
    const JitterBuffer::Turn turn = participant.buffer.take(&frame, &following);
    if (turn == JitterBuffer::Turn::Waiting || !participant.decoder)
        return false;
    int decoded;
    if (turn == JitterBuffer::Turn::Frame) {
        decoded = opus_decode(participant.decoder, reinterpret_cast<const unsigned char *>(frame.constData()),
                              frame.size(), pcm, frameSamples, 0);
    } else {
        // Lost: the next frame's redundancy when it is here, else concealment.
        ++participant.concealed;
        decoded = following.isEmpty()
            ? opus_decode(participant.decoder, nullptr, 0, pcm, frameSamples, 0)
            : opus_decode(participant.decoder, reinterpret_cast<const unsigned char *>(following.constData()),
                          following.size(), pcm, frameSamples, 1);
    }
    if (decoded != frameSamples)
        return false;
    ++participant.frames;
    return true;
}

void VoiceMixer::mixFrame()
{
    int mix[frameSamples] = {};
    qint16 pcm[frameSamples];
    for (auto it = m_participants.begin(); it != m_participants.end(); ++it) {
        Participant &participant = *it.value();
        if (!decodeTurn(participant, pcm))
            continue;
        participant.level.add(pcm, frameSamples);
        if (!participant.heard) {
            participant.heard = true;
            if (onFirstAudio)
                onFirstAudio(it.key());
        }
        if (participant.muted || m_allMuted)
            continue;
        for (int i = 0; i < frameSamples; ++i)
            mix[i] += pcm[i];
    }
    const int start = m_pending.size();
    m_pending.resize(start + frameSamples * 2);
    auto *out = reinterpret_cast<qint16 *>(m_pending.data() + start);
    for (int i = 0; i < frameSamples; ++i)
        out[i] = qint16(qBound(-32768, mix[i], 32767));
}

qint64 VoiceMixer::readData(char *data, qint64 maxSize)
{
    // The output asks for as much as its buffer takes (on a PulseAudio null
    // sink 160 ms at a time); handing it two frames at most keeps the frames in
    // our jitter buffer, not in the device's, so that the delay stays short. It
    // asks again on its next period.
    maxSize = qMin<qint64>(maxSize, 2 * frameSamples * 2);
    maxSize &= ~qint64(1); // whole samples
    while (m_pending.size() < maxSize)
        mixFrame();
    std::memcpy(data, m_pending.constData(), size_t(maxSize));
    m_pending.remove(0, int(maxSize));
    return maxSize;
}
