#include "chatresources.h"

#include <QtGlobal>

#include <mutex>

void initChatResources()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Q_INIT_RESOURCE(chat);
        Q_INIT_RESOURCE(chatimages);
    });
}
