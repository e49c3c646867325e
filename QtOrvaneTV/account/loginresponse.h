#ifndef LOGINRESPONSE_H
#define LOGINRESPONSE_H

#include <QJsonObject>
#include <QString>

// What the viewer takes from a sign-in reply: the auth token ("auth_token"),
// empty when absent or not text.
class LoginResponse
{
public:
    explicit LoginResponse(const QJsonObject &response);

    QString accessToken;
};

#endif // LOGINRESPONSE_H
