#include "removedmemes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
QString recordName(const QString &key)
{
    return key + QStringLiteral(".dat");
}

QString pictureName(const QString &key, const QString &format)
{
    return key + QLatin1Char('.') + format;
}

// Where the system cannot rename without replacing, Qt links the new name and then unlinks the old
// one: a crash in between leaves the same file under both names, and only the old name goes.
bool moveFile(const QString &from, const QString &to)
{
    if (QFile::rename(from, to))
        return true;
    return QFileInfo::exists(to) && QFileInfo::exists(from) && QFile::remove(from);
}
} // namespace

RemovedMemes::RemovedMemes(const QString &bunkerPath, const QString &waitingPath)
    : bunker(bunkerPath)
    , waiting(waitingPath)
{
}

bool RemovedMemes::takeOut(const QString &key, const QString &format) const
{
    const QString record = recordName(key);
    const QString picture = pictureName(key, format);
    if (!QDir().mkpath(waiting) || !moveFile(bunker + record, waiting + record))
        return false;
    // A meme whose picture was already missing goes all the same.
    if (moveFile(bunker + picture, waiting + picture) || !QFileInfo::exists(bunker + picture))
        return true;
    moveFile(waiting + record, bunker + record);
    return false;
}

bool RemovedMemes::putBack(const QString &key, const QString &format) const
{
    const QString picture = pictureName(key, format);
    if (!QDir().mkpath(bunker))
        return false;
    if (QFileInfo::exists(waiting + picture) && !moveFile(waiting + picture, bunker + picture))
        return false;
    const QString record = recordName(key);
    return moveFile(waiting + record, bunker + record);
}

void RemovedMemes::discard(const QString &key, const QString &format) const
{
    const QString picture = waiting + pictureName(key, format);
    if (QFileInfo::exists(picture))
        trashOrDelete(picture);
    trashOrDelete(waiting + recordName(key));
}

bool RemovedMemes::hasPicture(const QString &key, const QString &format) const
{
    const QString picture = pictureName(key, format);
    return QFileInfo::exists(waiting + picture) || QFileInfo::exists(bunker + picture);
}

void RemovedMemes::trashOrDelete(const QString &path)
{
    QString pathInTrash;
    if (!QFile::moveToTrash(path, &pathInTrash)) {
        QFile::remove(path);
        return;
    }
    if (QFileInfo(pathInTrash).isAbsolute())
        return;
    // Qt 5.15 reports success when it finds no trash folder at all, after moving the file into
    // "files" under the working directory (its info file into "info"). That is no trash: the stray
    // file goes, and so do the two folders when nothing else is in them.
    const QFileInfo stray(pathInTrash);
    QDir trash = stray.dir();
    trash.cdUp();
    QFile::remove(stray.filePath());
    QFile::remove(trash.filePath(QStringLiteral("info/") + stray.fileName() + QStringLiteral(".trashinfo")));
    trash.rmdir(QStringLiteral("files"));
    trash.rmdir(QStringLiteral("info"));
}
