#include "company.h"

#include "jsonconvert.h"

using namespace JsonConvert;

Company::Company(const QJsonValue &json)
    : id(text(member(json, QStringLiteral("id"))))
    , name(text(member(json, QStringLiteral("name"))))
    , slug(text(member(json, QStringLiteral("slug"))))
    , imageId(text(member(json, QStringLiteral("image"))))
{ }
