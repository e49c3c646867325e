#ifndef AUDIOOUTPUT_H
#define AUDIOOUTPUT_H

#include <QObject>

struct mpv_handle;

namespace OrvaneAV {

// The player's sound: volume on a 0 to 100 scale and mute. Values set before
// anything plays are kept and apply to everything played later.
class AudioOutput : public QObject
{
    Q_OBJECT
public:
    AudioOutput(mpv_handle *mpv, QObject *parent);

    void setVolume(double volume);
    double volume() const { return m_volume; }
    void setMute(bool mute);
    bool isMute() const { return m_mute; }

signals:
    void volumeChanged(double volume);
    void muteChanged(bool mute);

private:
    mpv_handle *m_mpv;
    double m_volume = 100.0;
    bool m_mute = false;
};

} // namespace OrvaneAV

#endif // AUDIOOUTPUT_H
