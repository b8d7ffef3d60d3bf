#pragma once

#include "picturesize.h"
#include "removedmemes.h"

#include <QHash>
#include <QNetworkAccessManager>
#include <QObject>
#include <QSettings>
#include <QString>
#include <QVariant>

class QBuffer;
class QNetworkReply;

// The meme bunker: saves memes (from a grabbed image or a downloaded URL) as an image file plus a
// small record in the bunker directory, lists them newest first as JSON text, removes them, and
// keeps a count of them in the bunker settings file. A removed meme can be put back until its
// removal is confirmed; one never confirmed (the program quit or died first) comes back.
class Bunker : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString memeCount READ getMemeCount NOTIFY memeCountChanged)

public:
    explicit Bunker(QObject *parent = nullptr);
    ~Bunker() override;

    Q_INVOKABLE void save(const QString &title, const QVariant &var);
    Q_INVOKABLE void saveFromUrl(const QString &title, const QString &url);
    Q_INVOKABLE QString load(bool lastOnly = false);
    Q_INVOKABLE void remove(const QString &uuid);
    // Puts a removed meme back under its key, with its bytes; false when it is not waiting here.
    Q_INVOKABLE bool undoRemove(const QString &uuid);
    // The removal stands: the meme's files go to the desktop trash.
    Q_INVOKABLE void confirmRemove(const QString &uuid);

    QString getMemeCount();

    // The bunker settings file, which holds the saved-meme counter.
    static QString settingsPath();

    // Tests shorten the stall timeout and the size cap instead of waiting for the real ones.
    void setTransferTimeout(int milliseconds);
    void setMaxDownloadSize(qint64 bytes);

    static constexpr qint64 defaultMaxDownloadSize = 64LL * 1024 * 1024;
    // Pictures with more pixels than this are refused.
    static constexpr qint64 maxPixels = PictureSize::maxPixels;

signals:
    void memeCountChanged();
    void imageSaved(bool success);

private:
    // Not a slot: QML sees only the operations, the signals and the property.
    void onDownloadFinished(QNetworkReply *reply);
    bool writeMeme(const QString &title, QBuffer &buffer);
    void changeCounter(int delta);
    void recoverUnconfirmedRemovals();
    void undoAllRemovals();
    void forgetRemoval(const QString &uuid);

    QString bunkerPath;
    RemovedMemes removedMemes;
    // Key and picture format of each meme this object removed and may still put back.
    QHash<QString, QString> pendingRemovals;
    QSettings settings;
    QNetworkAccessManager manager;
    qint64 maxDownloadSize = defaultMaxDownloadSize;
};
