#pragma once

#include "platformsharemanager.h"

#include <QObject>
#include <QStringList>

// A share facility for tests: remembers every path it was asked to share.
class RecordingShare : public QObject, public PlatformShareManager {
    Q_OBJECT
    Q_PROPERTY(QStringList paths READ sharedPaths NOTIFY shared)

public:
    using QObject::QObject;

    void share(QString path) override
    {
        paths.append(path);
        emit shared(path);
    }

    QStringList sharedPaths() const { return paths; }
    Q_INVOKABLE void clear() { paths.clear(); }

signals:
    void shared(const QString &path);

private:
    QStringList paths;
};
