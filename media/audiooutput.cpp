#include "audiooutput.h"

#include <mpv/client.h>

#include <QtGlobal>

namespace OrvaneAV {

AudioOutput::AudioOutput(mpv_handle *mpv, QObject *parent)
    : QObject(parent)
    , m_mpv(mpv)
{ }

void AudioOutput::setVolume(double volume)
{
    volume = qBound(0.0, volume, 100.0);
    if (qFuzzyCompare(volume + 1.0, m_volume + 1.0))
        return;
    m_volume = volume;
    mpv_set_property_async(m_mpv, 0, "volume", MPV_FORMAT_DOUBLE, &volume);
    emit volumeChanged(m_volume);
}

void AudioOutput::setMute(bool mute)
{
    if (mute == m_mute)
        return;
    m_mute = mute;
    int flag = mute ? 1 : 0;
    mpv_set_property_async(m_mpv, 0, "mute", MPV_FORMAT_FLAG, &flag);
    emit muteChanged(m_mute);
}

} // namespace OrvaneAV
