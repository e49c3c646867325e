#include "oneshotupload.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <cstring>

OneShotUpload::OneShotUpload(const QByteArray &body, QObject *parent)
    : QIODevice(parent)
    , m_body(body)
{
    open(QIODevice::ReadOnly);
}

qint64 OneShotUpload::bytesAvailable() const
{
    return m_body.size() - m_offset + QIODevice::bytesAvailable();
}

qint64 OneShotUpload::readData(char *data, qint64 maxSize)
{
    const qint64 count = qMin(maxSize, m_body.size() - m_offset);
    if (count <= 0)
        return m_offset >= m_body.size() ? -1 : 0;
    std::memcpy(data, m_body.constData() + m_offset, size_t(count));
    m_offset += count;
    return count;
}

QNetworkReply *OneShotUpload::send(QNetworkAccessManager *manager, QNetworkRequest request, const QByteArray &verb,
                                   const QByteArray &body)
{
    // Not buffered by the toolkit either: then nothing is kept to send again.
    request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
    request.setHeader(QNetworkRequest::ContentLengthHeader, body.size());
    auto *upload = new OneShotUpload(body);
    QNetworkReply *reply = manager->sendCustomRequest(request, verb, upload);
    if (reply)
        upload->setParent(reply);
    else
        delete upload;
    return reply;
}
