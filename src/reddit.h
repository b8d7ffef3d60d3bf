#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QSettings>
#include <QString>

class QNetworkReply;

// Feed client: fetches the forum board's JSON listing one page at a time and hands each page to
// QML unchanged, remembering the listing's "after" cursor so that each load() continues the feed.
class Reddit : public QObject {
    Q_OBJECT

public:
    explicit Reddit(QObject *parent = nullptr);

    Q_INVOKABLE void load();

    // Tests shorten the stall timeout instead of waiting for the real one.
    void setTransferTimeout(int milliseconds);

    static constexpr qint64 maxListingSize = 32 * 1024 * 1024;

signals:
    void responseAvailable(QString reply);

private slots:
    void onReplyFinished(QNetworkReply *reply);

private:
    QString listingUrl();

    QNetworkAccessManager manager;
    QString after;
    QSettings settings;
};
