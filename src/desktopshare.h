#pragma once

#include "platformsharemanager.h"

#include <QDBusConnection>
#include <QString>
#include <QUrl>

#include <functional>

class QImage;

// Sharing where there is no share sheet, only a desktop: the clipboard, the default program for
// a URL, and the file manager. What opens a URL is handed in, so that tests see what would be
// opened instead of starting a program.
class DesktopShare : public PlatformShareManager {
public:
    using Opener = std::function<bool(const QUrl &)>;

    explicit DesktopShare(Opener opener = defaultOpener(), const QDBusConnection &bus = QDBusConnection::sessionBus());

    // A share without a choice is a copy: the clipboard is what every desktop program takes from.
    void share(QString path) override;

    // The picture as image data, plus its file URL as text/uri-list; false when it cannot be read.
    bool copyPicture(const QString &path);
    bool copyImage(const QImage &image);
    bool copyText(const QString &text);
    bool open(const QUrl &url);
    // Selects the file in the file manager over the freedesktop FileManager1 interface where one
    // is running or can be started on the bus; otherwise opens the folder that holds it.
    bool showInFolder(const QString &path);

    static Opener defaultOpener();

private:
    bool fileManagerOnBus();

    Opener opener;
    QDBusConnection bus;
};
