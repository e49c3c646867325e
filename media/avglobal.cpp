#include "avglobal.h"

#include <QCoreApplication>

namespace OrvaneAV {

void prepareApplication()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

} // namespace OrvaneAV
