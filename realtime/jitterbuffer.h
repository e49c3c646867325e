#ifndef JITTERBUFFER_H
#define JITTERBUFFER_H

#include <QByteArray>
#include <QMap>
#include <QtGlobal>

#include <limits>

// The frames of one remote participant, put back in order for playout. Playout
// starts once a few frames are in (absorbing the network's jitter), a frame that
// has not come when its turn is reported lost (for loss concealment), a turn
// whose frame is late (nothing after it has come) waits for it, frames that
// come too late are dropped, a standing backlog is let go every half
// second and a backlog beyond the limit is cut, so that the delay stays
// bounded. After a longer silence (the sender muted or left) playout waits again
// as at the start.
class JitterBuffer
{
public:
    enum class Turn {
        Frame, // the frame of this turn
        Lost, // its frame is missing; the next one may carry its redundancy
        Waiting, // nothing to play (not started, or paused after a silence)
    };

    explicit JitterBuffer(int startFrames = 3, int maximumFrames = 15, int silenceFrames = 10);

    void push(quint16 sequence, const QByteArray &payload);
    // The turn of the next 20 ms. With Lost, *following is the next frame when it
    // is there already (empty otherwise).
    Turn take(QByteArray *frame, QByteArray *following);

    int buffered() const { return m_frames.size(); }

private:
    static int distance(quint16 from, quint16 to) { return qint16(quint16(to - from)); }

    int m_startFrames;
    int m_maximumFrames;
    int m_silenceFrames;
    QMap<int, QByteArray> m_frames; // by distance from m_base
    quint16 m_base = 0; // sequence number that distance 0 stands for
    bool m_playing = false;
    quint16 m_next = 0;
    int m_misses = 0;
    // The lowest level seen in the current half second of turns.
    static constexpr int windowTurns = 25;
    int m_lowest = std::numeric_limits<int>::max();
    int m_turnsInWindow = 0;
};

#endif // JITTERBUFFER_H
