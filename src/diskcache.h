#pragma once

#include <QObject>

// What the settings page shows of the network cache: its size on disk, and a way to empty it.
class DiskCache : public QObject {
    Q_OBJECT
    Q_PROPERTY(qint64 size READ size NOTIFY sizeChanged)

public:
    explicit DiskCache(QObject *parent = nullptr);

    qint64 size() const { return bytes; }

    // Measures again; the cache grows behind this object's back while pictures load.
    Q_INVOKABLE void measure();
    Q_INVOKABLE void clear();

signals:
    void sizeChanged();

private:
    qint64 bytes = 0;
};
