#include "copypasta.h"

#include "objectlistmodel.h"

#include <QClipboard>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
const QString groupName = QStringLiteral("copypasta");
const QString arrayName = QStringLiteral("copypastas");
const QString titleKey = QStringLiteral("title");
const QString textKey = QStringLiteral("cptext");

QString storePath()
{
    // Resolved before the application names are set, so it lies directly under the data root.
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/settings/settings.ini");
}

// Constructed during static initialisation and destroyed at process exit, which writes any
// pending change at the latest.
QSettings copypastaSettings(storePath(), QSettings::IniFormat);

struct StoredCopyPasta {
    QString title;
    QString cptext;
};

// How many array positions to read, with `settings` inside the copypasta group: the stored size, but
// never beyond the highest position that has a key in the file. A damaged size (2147483647, say)
// would otherwise make start-up create empty copypastas until memory runs out.
int storedCount(QSettings &settings)
{
    const int size = settings.beginReadArray(arrayName);
    settings.endArray();
    if (size <= 0)
        return 0;
    // The usual case, cheaply: the last position the size names is there, so the highest is at least
    // the size. Only a damaged file needs the walk over every position below.
    const QString last = arrayName + QLatin1Char('/') + QString::number(size) + QLatin1Char('/');
    if (settings.contains(last + titleKey) || settings.contains(last + textKey))
        return size;
    settings.beginGroup(arrayName);
    int highest = 0;
    for (const QString &position : settings.childGroups()) {
        bool ok = false;
        const int index = position.toInt(&ok);
        // Only the spelling QSettings itself writes names an array position ("7", not "07" or "+7").
        if (ok && index > highest && QString::number(index) == position)
            highest = index;
    }
    settings.endGroup();
    return qBound(0, size, highest);
}

// Whether the file on disk holds the array's size line with this count. QSettings writes the keys
// of a section in sorted order and "size" after every position, so a file cut short loses it.
bool holdsWholeArray(const QString &path, int count)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
        && file.readAll().contains("\n" + arrayName.toLatin1() + "\\size=" + QByteArray::number(count) + '\n');
}

// Whether the store's folder takes the store's file grown by `growth` bytes, beside the file as it
// is and its lock file. Only writing tells for sure (free space, inodes, a read-only mount), so a
// probe file of that size is written and dropped. Checked before anything changes, so that a change
// the disk cannot take changes nothing, neither the store nor the model.
bool roomFor(const QSettings &settings, qint64 growth)
{
    const QString path = settings.fileName();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QTemporaryFile probe(path + QStringLiteral(".probe-XXXXXX"));
    if (!probe.open())
        return false;
    const qint64 lockFile = 4096;
    qint64 left = QFileInfo(path).size() + growth + lockFile;
#ifdef Q_OS_UNIX
    // Reserving the blocks answers as surely as writing them, without copying a byte. Only where
    // the file system cannot reserve is the probe written out.
    const int reserved = ::posix_fallocate(probe.handle(), 0, left);
    if (reserved == 0)
        return true;
    if (reserved != EOPNOTSUPP && reserved != EINVAL)
        return false;
#endif
    const QByteArray block(64 * 1024, '\0');
    while (left > 0) {
        const qint64 size = qMin<qint64>(left, block.size());
        if (probe.write(block.constData(), size) != size)
            return false;
        left -= size;
    }
    return probe.flush();
}

// Writes the store out now, so that a crash right after cannot lose the change; true when the file
// holds it. Qt 5's QSaveFile, which QSettings writes through, ignores a failure of its last flush:
// on a disk that fills up meanwhile, QSettings replaces the file with an empty or cut-short one and
// reports success, which would lose every copypasta. The previous file is therefore kept under a
// second name (a hard link, which takes no space) until the new one holds the whole array, and put
// back otherwise; the store then rereads it.
bool writeOut(QSettings &settings, int count)
{
#ifdef Q_OS_UNIX
    const QString path = settings.fileName();
    const QByteArray current = QFile::encodeName(path);
    const QByteArray previous = current + ".previous";
    ::unlink(previous.constData());
    const bool kept = ::link(current.constData(), previous.constData()) == 0;
    settings.sync();
    // QSettings::status() keeps the first error ever met (a damaged file read at start-up, say), so
    // whether a new file took the old one's place is told by the file itself.
    struct stat previousFile = {};
    struct stat currentFile = {};
    const bool replaced = !kept
        || (::stat(previous.constData(), &previousFile) == 0 && ::stat(current.constData(), &currentFile) == 0
            && previousFile.st_ino != currentFile.st_ino);
    const bool written = replaced && holdsWholeArray(path, count);
    if (kept && written) {
        ::unlink(previous.constData());
    } else if (kept) {
        std::rename(previous.constData(), current.constData());
        settings.sync();
    }
    return written;
#else
    settings.sync();
    return holdsWholeArray(settings.fileName(), count);
#endif
}

// What QSettings may write for a text at most: every UTF-16 unit escaped as \xhhhh.
qint64 storedSize(const QString &text)
{
    return 6 * qint64(text.size());
}
} // namespace

ObjectListModel *CopyPasta::attachedModel = nullptr;

CopyPasta::CopyPasta(QObject *parent)
    : QObject(parent)
{
}

CopyPasta::CopyPasta(const QString &title, const QString &cptext, QObject *parent)
    : QObject(parent)
{
    this->title = title;
    emit titleChanged();
    this->cptext = cptext;
    emit cptextChanged();
}

QSettings &CopyPasta::store()
{
    return copypastaSettings;
}

void CopyPasta::loadInto(ObjectListModel *model)
{
    attachedModel = model;
    QSettings &settings = store();
    settings.beginGroup(groupName);
    const int count = storedCount(settings);
    settings.beginReadArray(arrayName);
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        // Items live until the process ends; neither the model nor QML owns them.
        model->insert(new CopyPasta(settings.value(titleKey).toString(), settings.value(textKey).toString()));
    }
    qDebug() << settings.value(titleKey).toString() << "|" << settings.value(textKey).toString();
    settings.endArray();
    settings.endGroup();
}

void CopyPasta::add(const QString &title, const QString &cptext)
{
    QSettings &settings = store();
    const qint64 keysAndLines = 64;
    if (!roomFor(settings, storedSize(title) + storedSize(cptext) + keysAndLines))
        return;
    settings.beginGroup(groupName);
    const int count = storedCount(settings);
    settings.beginWriteArray(arrayName);
    settings.setArrayIndex(count);
    settings.setValue(titleKey, title);
    settings.setValue(textKey, cptext);
    settings.endArray();
    settings.endGroup();
    // The model shows what is stored, or its rows would no longer match the stored positions.
    if (writeOut(settings, count + 1) && attachedModel)
        attachedModel->insert(new CopyPasta(title, cptext));
}

void CopyPasta::remove(QObject *item, int index)
{
    QSettings &settings = store();
    // The rewritten file is never larger than the present one.
    if (!roomFor(settings, 0))
        return;
    settings.beginGroup(groupName);
    const int count = storedCount(settings);
    settings.beginReadArray(arrayName);
    QVector<StoredCopyPasta> stored;
    stored.reserve(count);
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        const QVariant storedTitle = settings.value(titleKey);
        const QVariant storedText = settings.value(textKey);
        stored.append({ storedTitle.toString(), storedText.toString() });
        qDebug() << "index " << index << " | title " << storedTitle << " | cptext " << storedText;
    }
    settings.endArray();
    settings.remove(arrayName);

    // Model rows are newest first, stored positions oldest first. QML may pass any int, so the
    // arithmetic is done wide enough not to overflow.
    const qint64 storedPosition = qint64(count) - index - 1;
    if (storedPosition >= 0 && storedPosition < stored.size())
        stored.remove(int(storedPosition));

    settings.beginWriteArray(arrayName);
    for (int i = 0; i < stored.size(); ++i) {
        qDebug() << "NEW LIST:" << stored.at(i).title;
        settings.setArrayIndex(i);
        settings.setValue(titleKey, stored.at(i).title);
        settings.setValue(textKey, stored.at(i).cptext);
    }
    settings.endArray();
    settings.endGroup();
    if (!writeOut(settings, stored.size()))
        return;

    if (attachedModel)
        attachedModel->remove(item);
    qDebug() << settings.allKeys();
}

void CopyPasta::toClipboard(const QString &cptext)
{
    QGuiApplication::clipboard()->setText(cptext, QClipboard::Clipboard);
}
