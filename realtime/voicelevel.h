#ifndef VOICELEVEL_H
#define VOICELEVEL_H

#include <QVector>
#include <QtGlobal>

// How loud one speaker was over the last report interval, on the vendor's scale
// of 0 to 255 (-60 dBFS and below read 0, full scale 255), averaged over the last
// few reports (the smoothing), and whether that is voice.
class VoiceLevel
{
public:
    explicit VoiceLevel(int smoothing = 3);

    void add(const qint16 *samples, int count);
    // Ends the interval: the smoothed volume of the intervals so far.
    unsigned int take();
    // Whether the last volume taken is voice rather than background.
    bool voiceActive() const { return m_lastVolume >= voiceThreshold; }
    void setSmoothing(int smoothing);

    static constexpr unsigned int voiceThreshold = 40;

private:
    double m_sumOfSquares = 0;
    qint64 m_samples = 0;
    QVector<unsigned int> m_recent;
    int m_smoothing;
    unsigned int m_lastVolume = 0;
};

#endif // VOICELEVEL_H
