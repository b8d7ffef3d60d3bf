#pragma once

#include "bunker.h"
#include "copypasta.h"

#include <QImage>
#include <QtTest>

// What the bunker and copypasta tests share: files in and out, a picture, the bunker's listing and
// downloads, and the copypasta store as a fresh reader of the file on disk sees it.
namespace TestFiles {
inline QByteArray read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// A gradient, so that its JPEG is not trivially small.
inline QImage picture(int width = 40, int height = 30)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, 128));
    return image;
}

inline QByteArray jpegOf(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "jpg");
    return bytes;
}

inline QJsonArray listed(Bunker &bunker)
{
    return QJsonDocument::fromJson(bunker.load().toUtf8()).array();
}

// The argument of the one imageSaved a download brings; false too when none or several come.
inline bool downloadOutcome(Bunker &bunker, const QString &title, const QString &address)
{
    QSignalSpy saved(&bunker, &Bunker::imageSaved);
    bunker.saveFromUrl(title, address);
    if (!saved.wait(30000) || saved.count() != 1)
        return false;
    return saved.takeFirst().at(0).toBool();
}

// The copypastas of an ini file, oldest first, as "title=text" ("?" where a key is missing).
// QSettings shares one parsed copy per file name within a process, so this reads a copy under a
// new name, outside the file's own folder (which may be full).
inline QStringList storedPastas(const QString &iniPath = CopyPasta::store().fileName())
{
    static int copies = 0;
    const QString copy = QDir::temp().filePath(
        QStringLiteral("jestcrate-%1-%2.ini").arg(QCoreApplication::applicationPid()).arg(++copies));
    QFile::copy(iniPath, copy);
    QStringList entries;
    {
        QSettings settings(copy, QSettings::IniFormat);
        settings.beginGroup(QStringLiteral("copypasta"));
        const int size = settings.beginReadArray(QStringLiteral("copypastas"));
        for (int i = 0; i < size; ++i) {
            settings.setArrayIndex(i);
            const bool whole
                = settings.contains(QStringLiteral("title")) && settings.contains(QStringLiteral("cptext"));
            entries << (whole ? settings.value(QStringLiteral("title")).toString() + QLatin1Char('=')
                        + settings.value(QStringLiteral("cptext")).toString()
                              : QStringLiteral("?"));
        }
    }
    QFile::remove(copy);
    return entries;
}

// Puts bytes under the process-wide copypasta store and makes it parse them, as a fresh start of
// the program would: the store re-reads a file only when its modification time has changed.
inline void replaceStoreFile(const QByteArray &bytes)
{
    static int replacements = 0;
    QSettings &store = CopyPasta::store();
    store.sync();
    QVERIFY(write(store.fileName(), bytes));
    QFile file(store.fileName());
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(
        QDateTime::currentDateTime().addSecs(-3600 - ++replacements), QFileDevice::FileModificationTime));
    file.close();
    store.sync();
}
} // namespace TestFiles
