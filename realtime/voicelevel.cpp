#include "voicelevel.h"

#include <cmath>

VoiceLevel::VoiceLevel(int smoothing)
    : m_smoothing(qMax(1, smoothing))
{ }

void VoiceLevel::setSmoothing(int smoothing)
{
    m_smoothing = qMax(1, smoothing);
}

void VoiceLevel::add(const qint16 *samples, int count)
{
    for (int i = 0; i < count; ++i)
        m_sumOfSquares += double(samples[i]) * samples[i];
    m_samples += count;
}

unsigned int VoiceLevel::take()
{
    unsigned int volume = 0;
    if (m_samples > 0) {
        const double rms = std::sqrt(m_sumOfSquares / double(m_samples)) / 32768.0;
        const double decibels = rms > 0 ? 20 * std::log10(rms) : -100;
        volume = unsigned(qBound(0.0, (decibels + 60) / 60 * 255, 255.0));
    }
    m_sumOfSquares = 0;
    m_samples = 0;
    m_recent.append(volume);
    while (m_recent.size() > m_smoothing)
        m_recent.removeFirst();
    unsigned int sum = 0;
    for (unsigned int v : qAsConst(m_recent))
        sum += v;
    m_lastVolume = sum / unsigned(m_recent.size());
    return m_lastVolume;
}
