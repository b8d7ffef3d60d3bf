#pragma once

#include "desktopshare.h"

#include <QObject>
#include <QStringList>
#include <QVariant>

// What the QML tests need to look at outside QML: stored settings, files and the clipboard.
class QmlTestHelper : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // The default settings store, read or written through a fresh QSettings ("group/key").
    Q_INVOKABLE QVariant readSetting(const QString &key) const;
    Q_INVOKABLE void writeSetting(const QString &key, const QVariant &value) const;

    // An ini file read through a fresh QSettings.
    Q_INVOKABLE QVariant readIni(const QString &path, const QString &key) const;

    Q_INVOKABLE QString dataLocation() const;
    Q_INVOKABLE QStringList bunkerFiles() const;
    Q_INVOKABLE bool fileExists(const QString &path) const;
    Q_INVOKABLE QString clipboardText() const;
    Q_INVOKABLE bool clipboardHasImage() const;

    // TestCase.keyClick only reaches the test's own window; the application window is another. A
    // key with its modifiers, as a shortcut names it ("Ctrl+R").
    Q_INVOKABLE void keySequence(QObject *window, const QString &sequence) const;

    // Gives a ShareManager the desktop facility, with an opener that only records what it is
    // asked to open and no session bus (so "show in folder" opens the folder). Clears the clipboard.
    Q_INVOKABLE void attachDesktopShare(QObject *shareManager);
    Q_INVOKABLE QStringList openedUrls() const { return opened; }

private:
    QStringList opened;
    DesktopShare desktopShare { [this](const QUrl &url) {
                                   opened.append(url.toString(QUrl::FullyEncoded));
                                   return true;
                               },
        QDBusConnection(QStringLiteral("none")) };
};
