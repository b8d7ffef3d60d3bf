#include "diskcache.h"

#include "networkcache.h"

DiskCache::DiskCache(QObject *parent)
    : QObject(parent)
{
    measure();
}

void DiskCache::measure()
{
    const qint64 measured = NetworkCache::sizeOnDisk();
    if (measured == bytes)
        return;
    bytes = measured;
    emit sizeChanged();
}

void DiskCache::clear()
{
    NetworkCache::clearAll();
    measure();
}
