#include "globalmanager.h"

GlobalManager::GlobalManager(QObject *parent)
    : QObject(parent)
{ }
