#include "averror.h"

#include <QCoreApplication>

namespace OrvaneAV {

AVError::AVError(ErrorCode code, const QString &detail)
    : m_code(code)
    , m_detail(detail)
{ }

QString AVError::string() const
{
    QString summary;
    switch (m_code) {
    case NoError: return QString();
    case NetworkError: summary = QCoreApplication::translate("AVError", "Network error"); break;
    case OpenTimedout:
        summary = QCoreApplication::translate("AVError", "Opening the stream timed out");
        break;
    case OpenError: summary = QCoreApplication::translate("AVError", "The media could not be opened"); break;
    case FormatError:
        summary = QCoreApplication::translate("AVError", "The media format is not supported");
        break;
    case ReadError: summary = QCoreApplication::translate("AVError", "The media could not be read"); break;
    case UnknownError: summary = QCoreApplication::translate("AVError", "Playback failed"); break;
    }
    return m_detail.isEmpty() ? summary : summary + QStringLiteral(": ") + m_detail;
}

} // namespace OrvaneAV
