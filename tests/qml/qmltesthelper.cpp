#include "qmltesthelper.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include "sharemanager.h"

#include <QGuiApplication>
#include <QMimeData>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QWindow>

QVariant QmlTestHelper::readSetting(const QString &key) const
{
    return QSettings().value(key);
}

void QmlTestHelper::writeSetting(const QString &key, const QVariant &value) const
{
    QSettings settings;
    settings.setValue(key, value);
    settings.sync();
}

QVariant QmlTestHelper::readIni(const QString &path, const QString &key) const
{
    return QSettings(path, QSettings::IniFormat).value(key);
}

QString QmlTestHelper::dataLocation() const
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QStringList QmlTestHelper::bunkerFiles() const
{
    return QDir(dataLocation() + QStringLiteral("/bunker/")).entryList(QDir::Files, QDir::Name);
}

bool QmlTestHelper::fileExists(const QString &path) const
{
    return QFile::exists(path);
}

QString QmlTestHelper::clipboardText() const
{
    return QGuiApplication::clipboard()->text();
}

bool QmlTestHelper::clipboardHasImage() const
{
    return QGuiApplication::clipboard()->mimeData()->hasImage();
}

void QmlTestHelper::keySequence(QObject *window, const QString &sequence) const
{
    if (auto *target = qobject_cast<QWindow *>(window))
        QTest::keySequence(target, QKeySequence(sequence));
}

void QmlTestHelper::attachDesktopShare(QObject *shareManager)
{
    opened.clear();
    QGuiApplication::clipboard()->clear();
    if (auto *manager = qobject_cast<ShareManager *>(shareManager))
        manager->setPlatform(&desktopShare);
}
