#ifndef VOICETESTSUPPORT_H
#define VOICETESTSUPPORT_H

// What the voice suites share: a tone to play into a microphone sink, a recorder
// of a speakers sink's monitor, and the measures of what was recorded. The
// devices are the null sinks of tests/support/with-sound-server.sh.
#include <QAudioDeviceInfo>
#include <QAudioFormat>
#include <QAudioInput>
#include <QAudioOutput>
#include <QElapsedTimer>
#include <QIODevice>
#include <QTest>
#include <QVector>

#include <cmath>
#include <cstring>

namespace VoiceTestSupport {

constexpr int rate = 48000;

inline QAudioFormat monoFormat()
{
    QAudioFormat format;
    format.setSampleRate(rate);
    format.setChannelCount(1);
    format.setSampleSize(16);
    format.setSampleType(QAudioFormat::SignedInt);
    format.setByteOrder(QAudioFormat::LittleEndian);
    format.setCodec(QStringLiteral("audio/pcm"));
    return format;
}

inline QAudioDeviceInfo device(QAudio::Mode mode, const QString &name)
{
    for (const QAudioDeviceInfo &info : QAudioDeviceInfo::availableDevices(mode)) {
        if (info.deviceName() == name)
            return info;
    }
    return QAudioDeviceInfo();
}

// An endless sine tone, or silence while switched off.
class Tone : public QIODevice
{
public:
    explicit Tone(double frequency)
        : m_frequency(frequency)
    {
        open(QIODevice::ReadOnly);
    }
    void setOn(bool on) { m_on = on; }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return 4096 + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        auto *samples = reinterpret_cast<qint16 *>(data);
        const qint64 count = maxSize / 2;
        for (qint64 i = 0; i < count; ++i) {
            samples[i]
                = m_on ? qint16(8000 * std::sin(2 * M_PI * m_frequency * double(m_position) / rate)) : 0;
            ++m_position;
        }
        return count * 2;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    double m_frequency;
    bool m_on = true;
    qint64 m_position = 0;
};

// A tone played into a sink (a suite's "microphone") from construction on.
class TonePlayer
{
public:
    TonePlayer(const QString &sink, double frequency)
        : m_tone(frequency)
        , m_output(device(QAudio::AudioOutput, sink), monoFormat())
    {
        m_output.setBufferSize(rate / 25 * 2);
        m_output.start(&m_tone);
    }
    void setOn(bool on) { m_tone.setOn(on); }

private:
    Tone m_tone;
    QAudioOutput m_output;
};

// Records what a sink plays, through its monitor.
class Recorder
{
public:
    explicit Recorder(const QString &sink)
        : m_input(device(QAudio::AudioInput, sink + QStringLiteral(".monitor")), monoFormat())
    {
        m_input.setBufferSize(rate / 25 * 2);
        m_stream = m_input.start();
    }
    bool isRecording() const { return m_stream != nullptr; }
    // Drops what was recorded so far and hands out the stream to read on from now.
    void drain(QIODevice **stream)
    {
        m_stream->readAll();
        *stream = m_stream;
    }
    // The samples of the next stretch of the given length.
    QVector<qint16> record(int milliseconds)
    {
        m_stream->readAll(); // what came before
        QByteArray bytes;
        QElapsedTimer clock;
        clock.start();
        const int wanted = rate * milliseconds / 1000 * 2;
        while (bytes.size() < wanted && clock.elapsed() < milliseconds * 3 + 2000) {
            QTest::qWait(20);
            bytes += m_stream->readAll();
        }
        QVector<qint16> samples(bytes.size() / 2);
        std::memcpy(samples.data(), bytes.constData(), size_t(samples.size()) * 2);
        return samples;
    }

private:
    QAudioInput m_input;
    QIODevice *m_stream = nullptr;
};

inline double rms(const QVector<qint16> &samples)
{
    double sum = 0;
    for (qint16 s : samples)
        sum += double(s) * s;
    return samples.isEmpty() ? 0 : std::sqrt(sum / samples.size());
}

// The power of one frequency in the samples (Goertzel).
inline double powerAt(const QVector<qint16> &samples, double hertz)
{
    const double coefficient = 2 * std::cos(2 * M_PI * hertz / rate);
    double previous = 0;
    double before = 0;
    for (qint16 sample : samples) {
        const double current = sample + coefficient * previous - before;
        before = previous;
        previous = current;
    }
    return previous * previous + before * before - coefficient * previous * before;
}

// The strongest frequency between 100 Hz and 2 kHz, to the hertz.
inline double frequency(const QVector<qint16> &samples)
{
    double best = 0;
    double bestPower = 0;
    for (double hertz = 100; hertz <= 2000; hertz += 10) {
        const double power = powerAt(samples, hertz);
        if (power > bestPower) {
            bestPower = power;
            best = hertz;
        }
    }
    for (double hertz = best - 10; hertz <= best + 10; hertz += 1) {
        const double power = powerAt(samples, hertz);
        if (power > bestPower) {
            bestPower = power;
            best = hertz;
        }
    }
    return best;
}

} // namespace VoiceTestSupport

#endif // VOICETESTSUPPORT_H
