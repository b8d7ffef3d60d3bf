#include "desktopshare.h"

#include <QClipboard>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QStringList>

namespace {
const QString fileManagerService = QStringLiteral("org.freedesktop.FileManager1");
const QString fileManagerPath = QStringLiteral("/org/freedesktop/FileManager1");
} // namespace

DesktopShare::DesktopShare(Opener opener, const QDBusConnection &bus)
    : opener(std::move(opener))
    , bus(bus)
{
}

DesktopShare::Opener DesktopShare::defaultOpener()
{
    return [](const QUrl &url) { return QDesktopServices::openUrl(url); };
}

void DesktopShare::share(QString path)
{
    copyPicture(path);
}

bool DesktopShare::copyPicture(const QString &path)
{
    const QImage image(path);
    if (image.isNull())
        return false;
    auto *data = new QMimeData;
    data->setImageData(image);
    // File managers paste the file itself, and chat programs attach it, from the URL.
    data->setUrls({ QUrl::fromLocalFile(path) });
    QGuiApplication::clipboard()->setMimeData(data);
    return true;
}

bool DesktopShare::copyImage(const QImage &image)
{
    if (image.isNull())
        return false;
    QGuiApplication::clipboard()->setImage(image);
    return true;
}

bool DesktopShare::copyText(const QString &text)
{
    if (text.isEmpty())
        return false;
    QGuiApplication::clipboard()->setText(text);
    return true;
}

bool DesktopShare::open(const QUrl &url)
{
    return url.isValid() && opener(url);
}

bool DesktopShare::showInFolder(const QString &path)
{
    const QUrl file = QUrl::fromLocalFile(path);
    if (!fileManagerOnBus())
        return open(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
    QDBusMessage call = QDBusMessage::createMethodCall(
        fileManagerService, fileManagerPath, fileManagerService, QStringLiteral("ShowItems"));
    // No startup notification id: the file manager raises its window without one.
    call << QStringList { file.toString(QUrl::FullyEncoded) } << QString();
    // Not awaited: a file manager that is slow to start must not freeze the window.
    return bus.send(call);
}

bool DesktopShare::fileManagerOnBus()
{
    QDBusConnectionInterface *names = bus.isConnected() ? bus.interface() : nullptr;
    if (!names)
        return false;
    if (names->isServiceRegistered(fileManagerService).value())
        return true;
    // Most file managers are started by the bus on the first call rather than running all along.
    const QDBusReply<QStringList> activatable = names->call(QStringLiteral("ListActivatableNames"));
    return activatable.isValid() && activatable.value().contains(fileManagerService);
}
