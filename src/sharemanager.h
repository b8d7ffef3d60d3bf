#pragma once

#include <QObject>
#include <QVariant>

class DesktopShare;
class PlatformShareManager;

// QML front for sharing memes. A saved meme goes to the platform's share facility; on the desktop
// that facility also copies pictures and links, opens them in the default programs and shows a
// saved picture in the file manager, and the page offers those in a menu instead. Each of these
// operations returns whether it was done; without the desktop facility none is.
class ShareManager : public QObject {
    Q_OBJECT
    // Whether the desktop operations below are available (the page then shows its share menu).
    Q_PROPERTY(bool desktop READ hasDesktop NOTIFY platformChanged)

public:
    explicit ShareManager(QObject *parent = nullptr);

    Q_INVOKABLE void shareMeme(const QString &path);

    Q_INVOKABLE bool copyPicture(const QString &path);
    // A picture shown from the network, as the grab of its element hands it over.
    Q_INVOKABLE bool copyImage(const QVariant &image);
    Q_INVOKABLE bool copyLink(const QString &url);
    Q_INVOKABLE bool openPicture(const QString &path);
    Q_INVOKABLE bool openPost(const QString &url);
    Q_INVOKABLE bool showInFolder(const QString &path);

    // Where a platform offers sharing, its implementation is attached here; it is not owned.
    void setPlatform(PlatformShareManager *implementation);

    // The implementation that every new ShareManager starts with.
    static void setDefaultPlatform(PlatformShareManager *implementation);

    bool hasDesktop() const { return desktop != nullptr; }

signals:
    void platformChanged();

private:
    PlatformShareManager *platform = nullptr;
    DesktopShare *desktop = nullptr;
    static PlatformShareManager *defaultPlatform;
};
