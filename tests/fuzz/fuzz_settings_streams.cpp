// Arbitrary bytes as the stored values of the viewer's settings: the recently
// viewed and marked recordings, the player settings per workspace, and any
// stored variant (the way the settings file holds them, "@Variant(...)"). A
// damaged file must read as empty or partial values, never exhaust memory (a
// claimed count of two thousand million elements is read as damage, not
// allocated).
#include "session/settings.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QDataStream>
#include <QVariant>

#include <sanitizer/lsan_interface.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // As in the viewer, which reads its settings with the application made: a
    // stored picture or other GUI value needs it.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The application lives as long as the process; its screen and platform
    // objects are not leaks of the readers under test.
    __lsan::ScopedDisabler application;
    new QGuiApplication(*argc, *argv);
    Settings::registerTypes();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    QByteArray bytes(reinterpret_cast<const char *>(data + 1), int(size - 1));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QDataStream stream(&buffer);
    // The version the settings file writes its variants with.
    stream.setVersion(QDataStream::Qt_4_0);
    switch (data[0] % 4) {
    case 0: {
        ViewedArchives viewed;
        stream >> viewed;
        break;
    }
    case 1: {
        MarkedArchives marked;
        stream >> marked;
        break;
    }
    case 2: {
        PlayerSettingsByWorkspace settings;
        stream >> settings;
        break;
    }
    default: {
        QVariant value;
        stream >> value;
        break;
    }
    }
    return 0;
}
