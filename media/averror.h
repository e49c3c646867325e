#ifndef AVERROR_H
#define AVERROR_H

#include <QMetaType>
#include <QString>

namespace OrvaneAV {

// A playback failure: a code callers can act on and a text for people and logs.
class AVError
{
public:
    enum ErrorCode {
        NoError = 0,
        NetworkError = 1, // refused, reset, host not found, stream lost
        OpenTimedout = 2, // nothing arrived in time while opening
        OpenError = 3, // the address or file cannot be opened
        FormatError = 4, // opened, but not a playable stream
        ReadError = 5, // a local file failed while playing
        UnknownError = 6,
    };

    AVError() = default;
    AVError(ErrorCode code, const QString &detail);

    ErrorCode error() const { return m_code; }
    QString string() const;
    QString detail() const { return m_detail; }

private:
    ErrorCode m_code = NoError;
    QString m_detail;
};

} // namespace OrvaneAV

Q_DECLARE_METATYPE(OrvaneAV::AVError)

#endif // AVERROR_H
