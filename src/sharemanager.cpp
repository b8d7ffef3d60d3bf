#include "sharemanager.h"

#include "desktopshare.h"
#include "networkpolicy.h"
#include "platformsharemanager.h"

#include <QDebug>
#include <QImage>
#include <QUrl>

PlatformShareManager *ShareManager::defaultPlatform = nullptr;

ShareManager::ShareManager(QObject *parent)
    : QObject(parent)
{
    setPlatform(defaultPlatform);
}

void ShareManager::shareMeme(const QString &path)
{
    if (!platform) {
        qDebug() << "No share facility on this platform, ignored:" << path;
        return;
    }
    platform->share(path);
}

bool ShareManager::copyPicture(const QString &path)
{
    return desktop && desktop->copyPicture(path);
}

bool ShareManager::copyImage(const QVariant &image)
{
    return desktop && desktop->copyImage(image.value<QImage>());
}

bool ShareManager::copyLink(const QString &url)
{
    // Links come from a listing that anyone can write: only web pages may be copied or opened.
    return desktop && NetworkPolicy::isWebAddress(QUrl(url)) && desktop->copyText(url);
}

bool ShareManager::openPicture(const QString &path)
{
    return desktop && desktop->open(QUrl::fromLocalFile(path));
}

bool ShareManager::openPost(const QString &url)
{
    const QUrl post(url);
    return desktop && NetworkPolicy::isWebAddress(post) && desktop->open(post);
}

bool ShareManager::showInFolder(const QString &path)
{
    return desktop && desktop->showInFolder(path);
}

void ShareManager::setPlatform(PlatformShareManager *implementation)
{
    platform = implementation;
    // Only the desktop's facility does more than share; a share sheet keeps the one button.
    desktop = dynamic_cast<DesktopShare *>(implementation);
    emit platformChanged();
}

void ShareManager::setDefaultPlatform(PlatformShareManager *implementation)
{
    defaultPlatform = implementation;
}
