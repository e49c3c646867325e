#ifndef ONESHOTUPLOAD_H
#define ONESHOTUPLOAD_H

#include <QByteArray>
#include <QIODevice>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;

// The body of a request that must reach the service at most once (a view report,
// chat statistics). The toolkit sends a request again by itself when its
// connection drops before the answer, which would count the report twice; a body
// that can be read only once cannot be sent again, so the drop is reported instead.
class OneShotUpload : public QIODevice
{
    Q_OBJECT
public:
    explicit OneShotUpload(const QByteArray &body, QObject *parent = nullptr);

    bool isSequential() const override { return true; }
    bool reset() override { return false; }
    qint64 bytesAvailable() const override;

    // Sends the operation ("POST" or "PUT") with the body read once; the body
    // belongs to the reply.
    static QNetworkReply *send(QNetworkAccessManager *manager, QNetworkRequest request, const QByteArray &verb,
                               const QByteArray &body);

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_body;
    qint64 m_offset = 0;
};

#endif // ONESHOTUPLOAD_H
