#ifndef STATISTICS_H
#define STATISTICS_H

#include <QString>
#include <QtGlobal>

namespace OrvaneAV {

// A snapshot of what the player is doing, taken by AVPlayer::statistics().
class Statistics
{
public:
    struct Common
    {
        bool available = false;
        QString codec;
        qint64 bit_rate = 0; // bits per second, as measured on the stream
    };
    class VideoOnly
    {
    public:
        // Frames drawn for the renderers during the last second.
        double currentDisplayFPS() const { return displayFps; }
        double displayFps = 0;
        double frameRate = 0; // the stream's own rate
        qint64 droppedFrames = 0; // dropped by the decoder or the output since play()
        qint64 displayedFrames = 0; // drawn since play()
        int width = 0;
        int height = 0;
        // Received but not yet shown: the delay behind live, in milliseconds.
        qint64 bufferedMs = 0;
    };

    Common audio;
    Common video;
    VideoOnly video_only;
};

} // namespace OrvaneAV

#endif // STATISTICS_H
