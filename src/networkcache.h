#pragma once

#include <QDateTime>
#include <QNetworkDiskCache>

// The program's HTTP disk cache, one folder per kind of content below the cache location, all of
// them together within 200 MiB. Whatever comes out of it goes through the same checks as a fresh
// download: the cache only spares the network, it vouches for nothing.
class NetworkCache : public QNetworkDiskCache {
    Q_OBJECT

public:
    // Listings are kept even when the forum asks for them not to be (no-store), so that the last
    // first page can be shown when the forum cannot be reached; reusing them still follows HTTP.
    enum class Keep { AsHttpAllows, LastListings };

    static constexpr qint64 totalMaxSize = 200LL * 1024 * 1024;

    // Shares of totalMaxSize: listings are small, pictures take the rest.
    static constexpr qint64 listingsMaxSize = 8LL * 1024 * 1024;
    static constexpr qint64 picturesMaxSize = 176LL * 1024 * 1024;
    static constexpr qint64 otherPicturesMaxSize = totalMaxSize - listingsMaxSize - picturesMaxSize;

    NetworkCache(const QString &folder, qint64 maxSize, Keep keep, QObject *parent = nullptr);

    QIODevice *prepare(const QNetworkCacheMetaData &metaData) override;

    // When the entry for url was fetched; invalid when there is none or it is no 200 answer.
    QDateTime readAt(const QUrl &url);

    // The folder that holds every cache of the program, and what it takes on disk.
    static QString location();
    static qint64 sizeOnDisk();
    static void clearAll();

private:
    Keep keep;
};
