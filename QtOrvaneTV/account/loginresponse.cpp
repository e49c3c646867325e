#include "account/loginresponse.h"

LoginResponse::LoginResponse(const QJsonObject &response)
    : accessToken(response.value(QStringLiteral("auth_token")).toString())
{ }
