#include "jitterbuffer.h"

#include <limits>

JitterBuffer::JitterBuffer(int startFrames, int maximumFrames, int silenceFrames)
    : m_startFrames(startFrames)
    , m_maximumFrames(maximumFrames)
    , m_silenceFrames(silenceFrames)
{ }

void JitterBuffer::push(quint16 sequence, const QByteArray &payload)
{
    if (m_frames.isEmpty() && !m_playing)
        m_base = sequence;
    if (m_playing && distance(m_next, sequence) < 0) {
        return; // its turn has passed
    }
    const int key = distance(m_base, sequence);
    if (!m_frames.contains(key))
        m_frames.insert(key, payload);
    // A backlog beyond the limit: the oldest frames go, the delay stays bounded.
    while (m_frames.size() > m_maximumFrames) {
        const int oldest = m_frames.firstKey();
        m_frames.remove(oldest);
        if (m_playing && distance(m_next, quint16(m_base + oldest)) >= 0)
            m_next = quint16(m_base + oldest + 1);
    }
}

JitterBuffer::Turn JitterBuffer::take(QByteArray *frame, QByteArray *following)
{
    if (!m_playing) {
        if (m_frames.size() < m_startFrames)
            return Turn::Waiting;
        m_playing = true;
        m_next = quint16(m_base + m_frames.firstKey());
        m_misses = 0;
    }
    // A standing backlog (more in store than the start needed, all the last
    // half second): the surplus is let go, so that the delay comes back down.
    m_lowest = qMin(m_lowest, m_frames.size());
    if (++m_turnsInWindow >= windowTurns) {
        for (int surplus = m_lowest - m_startFrames; surplus > 0 && !m_frames.isEmpty(); --surplus) {
            m_frames.remove(distance(m_base, m_next));
            m_next = quint16(m_next + 1);
        }
        m_lowest = std::numeric_limits<int>::max();
        m_turnsInWindow = 0;
    }
    const int key = distance(m_base, m_next);
    const auto found = m_frames.find(key);
    if (found == m_frames.end() && m_frames.isEmpty() && m_misses + 1 < m_silenceFrames) {
        // Nothing after it has come either: the frame is late rather than lost
        // (the output asked before the network delivered). Its turn waits, made
        // up for now, and the delay grows by one frame.
        ++m_misses;
        following->clear();
        return Turn::Lost;
    }
    m_next = quint16(m_next + 1);
    if (found != m_frames.end()) {
        *frame = found.value();
        m_frames.erase(found);
        m_misses = 0;
        // Keep the keys small: rebase once the buffer is empty.
        if (m_frames.isEmpty())
            m_base = m_next;
        return Turn::Frame;
    }
    if (m_frames.isEmpty()) {
        if (++m_misses >= m_silenceFrames) {
            m_playing = false;
            m_base = m_next;
            return Turn::Waiting;
        }
    }
    const auto next = m_frames.find(key + 1);
    *following = next != m_frames.end() ? next.value() : QByteArray();
    return Turn::Lost;
}
