#ifndef VOICEMIXER_H
#define VOICEMIXER_H

#include "jitterbuffer.h"
#include "voicelevel.h"

#include <QIODevice>
#include <QMap>

#include <functional>
#include <memory>

struct OpusDecoder;

// The others' voices, mixed for playout: the audio output pulls 48 kHz mono
// 16-bit samples from here, and each 20 ms of them is one frame of every remote
// participant that has one, out of their jitter buffers, decoded, concealed where
// a frame is lost (with the next frame's redundancy when it has come) and summed.
// Lives on the engine's thread, like the output that pulls it.
class VoiceMixer : public QIODevice
{
    Q_OBJECT

public:
    static constexpr int sampleRate = 48000;
    static constexpr int frameSamples = 960; // 20 ms

    struct Statistics
    {
        qint64 frames = 0; // frames played for remote participants
        qint64 concealed = 0; // of them, made up for lost ones
    };

    VoiceMixer(QObject *parent = nullptr);
    ~VoiceMixer() override;

    void addParticipant(quint32 uid);
    void removeParticipant(quint32 uid);
    void clear();
    // An Opus frame of a participant, in the order the network delivered it.
    void receive(quint32 uid, quint16 sequence, const QByteArray &opus);
    // Kept for the uid while the mixer lives, also across a participant's
    // leaving and coming back.
    void setMuted(quint32 uid, bool muted);
    void setAllMuted(bool muted) { m_allMuted = muted; }
    void setSmoothing(int smoothing);

    // The volume of each participant since the last call (for the volume report).
    QMap<quint32, std::pair<unsigned int, bool>> takeLevels();
    Statistics statistics() const;

    // Called with a participant's uid the first time their audio is decoded.
    std::function<void(quint32)> onFirstAudio;

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    struct Participant
    {
        JitterBuffer buffer;
        OpusDecoder *decoder = nullptr;
        VoiceLevel level;
        bool muted = false;
        bool heard = false;
        qint64 frames = 0;
        qint64 concealed = 0;
    };

    void mixFrame();
    bool decodeTurn(Participant &participant, qint16 *pcm);

    QMap<quint32, std::shared_ptr<Participant>> m_participants;
    QMap<quint32, bool> m_mutes;
    QByteArray m_pending; // mixed samples not yet pulled
    bool m_allMuted = false;
    int m_smoothing = 3;
    Statistics m_gone; // of participants who left
};

#endif // VOICEMIXER_H
