#include "sharemanager.h"

#include "platformsharemanager.h"

#include <QDebug>

PlatformShareManager *ShareManager::defaultPlatform = nullptr;

ShareManager::ShareManager(QObject *parent)
    : QObject(parent)
    , platform(defaultPlatform)
{
}

void ShareManager::shareMeme(const QString &path)
{
    if (!platform) {
        qDebug() << "No share facility on this platform, ignored:" << path;
        return;
    }
    platform->share(path);
}

void ShareManager::setPlatform(PlatformShareManager *implementation)
{
    platform = implementation;
}

void ShareManager::setDefaultPlatform(PlatformShareManager *implementation)
{
    defaultPlatform = implementation;
}
