#ifndef REQUESTINTERCEPTOR_H
#define REQUESTINTERCEPTOR_H

#include <QUrl>
#include <QWebEngineUrlRequestInterceptor>

// Watches every request of the sign-in browser. The provider sends the browser
// to the OAuth callback host with the authorisation code in the query; that
// request is turned away to the product's web site and the code handed on.
class RequestInterceptor : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT
public:
    explicit RequestInterceptor(QObject *parent = nullptr);

    void interceptRequest(QWebEngineUrlRequestInfo &info) override;

    // The code of a callback request; *isCallback tells whether the URL is one
    // (the callback host exactly, with a "code" item, which may be empty).
    static QString codeOf(const QUrl &url, bool *isCallback);
    static QString callbackHost();
    static QUrl redirectTarget();

signals:
    void gotCode(QString code);
};

#endif // REQUESTINTERCEPTOR_H
