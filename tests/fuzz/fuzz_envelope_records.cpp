// Arbitrary bytes as a service reply: the envelope reader, then every record built
// from the payload and from each value inside it, and the record methods.
#include "archive.h"
#include "camera.h"
#include "company.h"
#include "companyshare.h"
#include "logredaction.h"
#include "serviceenvelope.h"
#include "sharedstream.h"
#include "sharedworkspace.h"
#include "user.h"

#include <sanitizer/lsan_interface.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstddef>
#include <cstdint>

namespace {

void buildRecords(const QJsonValue &value)
{
    User user(value);
    user.getFullName();
    Company company(value);
    CompanyShare share(value);
    share.sharer.getFullName();
    SharedWorkspace workspace(value);
    for (const Camera &camera : workspace.sharedCameras)
        camera.hasStream();
    SharedStream stream(value);
    SharedStreamSource source(value);
    Camera camera(value);
    camera.hasStream();
    Archive archive(value);
    archive.fileSize();
    ArchiveInfo info(value);
    CompanyShare::formatDate(value.toString());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    QJsonDocument document;
    {
        // Qt 5.15's own JSON parser leaks on some objects with repeated keys
        // (for example {"o":{"s":"a"},"o":{"t":true}} nested in an array); that is
        // the toolkit's, so only what our code allocates is checked for leaks.
        __lsan::ScopedDisabler toolkitParser;
        document = ServiceEnvelope::readDocument(bytes);
    }
    const ServiceEnvelope envelope = ServiceEnvelope::fromDocument(document);
    envelope.errorText();
    LogRedaction::redactedCompactJson(envelope.document());

    const QJsonValue response = envelope.response();
    buildRecords(response);
    if (response.isArray()) {
        for (const QJsonValue &element : response.toArray())
            buildRecords(element);
    } else if (response.isObject()) {
        const QJsonObject object = response.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            buildRecords(it.value());
    }
    buildRecords(envelope.meta());
    return 0;
}
