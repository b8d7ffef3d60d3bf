#include "networkcache.h"

#include <QDir>
#include <QDirIterator>
#include <QNetworkRequest>
#include <QStandardPaths>

namespace {
// Written by us into the stored headers; a server's header of that name is dropped first.
const QByteArray readAtHeader = "X-Jestcrate-Read-At";
} // namespace

NetworkCache::NetworkCache(const QString &folder, qint64 maxSize, Keep keep, QObject *parent)
    : QNetworkDiskCache(parent)
    , keep(keep)
{
    setCacheDirectory(location() + QLatin1Char('/') + folder);
    setMaximumCacheSize(maxSize);
}

QIODevice *NetworkCache::prepare(const QNetworkCacheMetaData &metaData)
{
    QNetworkCacheMetaData stored = metaData;
    QNetworkCacheMetaData::RawHeaderList headers;
    for (const auto &header : metaData.rawHeaders()) {
        if (header.first.compare(readAtHeader, Qt::CaseInsensitive) != 0)
            headers.append(header);
    }
    headers.append({ readAtHeader, QByteArray::number(QDateTime::currentMSecsSinceEpoch()) });
    stored.setRawHeaders(headers);
    const bool ok = metaData.attributes().value(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200;
    if (keep == Keep::LastListings && ok)
        stored.setSaveToDisk(true);
    return QNetworkDiskCache::prepare(stored);
}

QDateTime NetworkCache::readAt(const QUrl &url)
{
    const QNetworkCacheMetaData data = metaData(url);
    if (!data.isValid() || data.attributes().value(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200)
        return QDateTime();
    for (const auto &header : data.rawHeaders()) {
        if (header.first.compare(readAtHeader, Qt::CaseInsensitive) == 0) {
            bool ok = false;
            const qint64 milliseconds = header.second.toLongLong(&ok);
            return ok ? QDateTime::fromMSecsSinceEpoch(milliseconds) : QDateTime();
        }
    }
    return QDateTime();
}

QString NetworkCache::location()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/network");
}

qint64 NetworkCache::sizeOnDisk()
{
    qint64 size = 0;
    QDirIterator files(location(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        files.next();
        size += files.fileInfo().size();
    }
    return size;
}

void NetworkCache::clearAll()
{
    // Entry by entry, as the cache expires them itself: the folders stay, so that caches open in
    // this process go on storing into them.
    const QStringList folders = QDir(location()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &folder : folders) {
        QNetworkDiskCache cache;
        cache.setCacheDirectory(location() + QLatin1Char('/') + folder);
        cache.clear();
    }
}
