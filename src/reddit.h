#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QSettings>
#include <QString>

class QNetworkReply;

// Feed client: fetches the forum board's JSON listing one page at a time and hands each page to
// QML unchanged, remembering the listing's "after" cursor so that each load() continues the feed.
class Reddit : public QObject
{
    Q_OBJECT

public:
    explicit Reddit(QObject *parent = nullptr);

    Q_INVOKABLE void load();

    // Tests shorten the stall timeout and lower the size cap instead of waiting for the real ones.
    void setTransferTimeout(int milliseconds);
    void setMaxListingSize(qint64 bytes);

    // Far beyond any real listing page; only a broken or hostile server sends more.
    static constexpr qint64 defaultMaxListingSize = 32 * 1024 * 1024;

signals:
    void responseAvailable(QString reply);

private:
    // Not a slot: QML sees only the signal and load().
    void onReplyFinished(QNetworkReply *reply);
    QString listingUrl();

    QNetworkAccessManager manager;
    QString after;
    QSettings settings;
    qint64 maxListingSize = defaultMaxListingSize;
};
