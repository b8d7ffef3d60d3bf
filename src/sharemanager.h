#pragma once

#include <QObject>

class PlatformShareManager;

// QML front for sharing a saved meme: forwards the image path to the platform's implementation.
// The desktop has none, so sharing there does nothing.
class ShareManager : public QObject {
    Q_OBJECT

public:
    explicit ShareManager(QObject *parent = nullptr);

    Q_INVOKABLE void shareMeme(const QString &path);

    // Where a platform offers sharing, its implementation is attached here; it is not owned.
    void setPlatform(PlatformShareManager *implementation);

    // The implementation that every new ShareManager starts with (none on the desktop).
    static void setDefaultPlatform(PlatformShareManager *implementation);

private:
    PlatformShareManager *platform;
    static PlatformShareManager *defaultPlatform;
};
