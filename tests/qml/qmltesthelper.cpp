#include "qmltesthelper.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QSettings>
#include <QStandardPaths>

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

QString QmlTestHelper::bunkerPath() const
{
    return dataLocation() + QStringLiteral("/bunker/");
}

QStringList QmlTestHelper::bunkerFiles() const
{
    return QDir(bunkerPath()).entryList(QDir::Files, QDir::Name);
}

bool QmlTestHelper::fileExists(const QString &path) const
{
    return QFile::exists(path);
}

QString QmlTestHelper::clipboardText() const
{
    return QGuiApplication::clipboard()->text();
}

namespace {
QStringList recorded;
QtMessageHandler chainedHandler = nullptr;

void recordWarning(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg || type == QtCriticalMsg)
        recorded.append(message);
    if (chainedHandler)
        chainedHandler(type, context, message);
}
} // namespace

void QmlTestHelper::recordWarnings()
{
    recorded.clear();
    // Installed on demand, after the test framework's own handler, which keeps getting every message.
    const QtMessageHandler current = qInstallMessageHandler(recordWarning);
    if (current != recordWarning)
        chainedHandler = current;
}

QStringList QmlTestHelper::recordedWarnings() const
{
    return recorded;
}
