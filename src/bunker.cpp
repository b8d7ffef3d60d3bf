#include "bunker.h"

#include "memerecord.h"
#include "networkpolicy.h"
#include "picturesize.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>
#include <QUuid>

#include <algorithm>
#include <cstring>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
const QString counterKey = QStringLiteral("global/memeCount");

QString appDataLocation()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString makeMemeKey()
{
    const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    return QString::number(QDateTime::currentSecsSinceEpoch()) + QLatin1Char('-') + uuid;
}

// remove() builds paths from these, so only names that cannot leave the bunker are accepted.
// Anchored patterns, because "$" would also accept a trailing newline.
bool isMemeKey(const QString &text)
{
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QStringLiteral("[0-9]+-[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}")));
    return pattern.match(text).hasMatch();
}

bool isFormatName(const QString &text)
{
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(QStringLiteral("[a-z0-9]+")));
    return pattern.match(text).hasMatch();
}

bool writeWholeFile(const QString &path, const QByteArray &bytes)
{
    // QSaveFile writes beside the target, flushes it to disk and renames, so the file appears whole
    // or not at all.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // Flushed here: Qt 5's commit() ignores a failure of its own last flush and would put an empty
    // or cut-short file in place when the disk is full.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// The rename that made a file appear is only on disk once its directory is: without this, a power
// cut soon after a save could take back a meme that was reported saved.
void syncDirectory(const QString &path)
{
#ifdef Q_OS_UNIX
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        ::fsync(descriptor);
        ::close(descriptor);
    }
#else
    Q_UNUSED(path)
#endif
}

// One listed record file, and whether it is known to be a regular file.
struct RecordEntry {
    QString name;
    bool regularFile = false;
};

// The record files of the directory, newest first: what QDir::entryList({"*.dat"}, QDir::NoFilter,
// QDir::Name | QDir::Reversed) lists, without its stat and pattern matching of every entry, which
// cost more than reading the records themselves.
QVector<RecordEntry> listRecords(const QString &directoryPath)
{
    QVector<RecordEntry> entries;
#ifdef Q_OS_UNIX
    const QByteArray encodedPath = QFile::encodeName(directoryPath);
    DIR *directory = ::opendir(encodedPath.constData());
    if (!directory)
        return entries;
    while (const dirent *entry = ::readdir(directory)) {
        const char *name = entry->d_name;
        const size_t length = std::strlen(name);
        // The name filter matches without regard to case; hidden names are left out.
        if (name[0] == '.' || length < 4 || qstrnicmp(name + length - 4, ".dat", 4) != 0)
            continue;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN || type == DT_LNK) {
            // Symbolic links count only when they lead somewhere (QDir leaves broken ones out).
            struct stat status;
            if (::stat((encodedPath + '/' + name).constData(), &status) != 0)
                continue;
            type = S_ISREG(status.st_mode) ? DT_REG : S_ISDIR(status.st_mode) ? DT_DIR : DT_LNK;
        }
        // Pipes, sockets and devices are "system" entries, which QDir's default filter leaves out.
        if (type != DT_REG && type != DT_DIR && type != DT_LNK)
            continue;
        entries.append({ QFile::decodeName(name), type == DT_REG });
    }
    ::closedir(directory);
    std::sort(entries.begin(), entries.end(),
        [](const RecordEntry &a, const RecordEntry &b) { return a.name.compare(b.name) > 0; });
#else
    const QStringList names
        = QDir(directoryPath).entryList({ QStringLiteral("*.dat") }, QDir::NoFilter, QDir::Name | QDir::Reversed);
    for (const QString &name : names)
        entries.append({ name, false });
#endif
    return entries;
}

MemeRecord readRecord(const QString &path, bool knownRegularFile)
{
    if (!knownRegularFile)
        return MemeRecord::readFile(path);
    // Reading by the file's size avoids allocating the whole size limit for every small record.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return MemeRecord();
    return MemeRecord::fromBytes(file.read(qBound(qint64(0), file.size(), MemeRecord::maxFileSize)));
}

// Appends text as a JSON string exactly as QJsonDocument writes it. Plain printable ASCII, which
// keys, formats and paths mostly are, is copied; anything else is escaped by Qt itself.
void appendJsonString(QByteArray &json, const QString &text)
{
    const QChar *characters = text.constData();
    const int size = text.size();
    bool plain = true;
    for (int i = 0; i < size && plain; ++i) {
        const ushort unit = characters[i].unicode();
        plain = unit >= 0x20 && unit < 0x7f && unit != '"' && unit != '\\';
    }
    if (plain) {
        json += '"';
        json += text.toLatin1();
        json += '"';
        return;
    }
    const QByteArray escaped = QJsonDocument(QJsonArray { text }).toJson(QJsonDocument::Compact);
    json.append(escaped.constData() + 1, escaped.size() - 2);
}

// One meme as compact JSON, members in the order QJsonObject sorts them.
void appendMeme(QByteArray &json, const MemeRecord &record, const QString &bunkerPath)
{
    json += record.animated ? "{\"animated\":true,\"source\":" : "{\"animated\":false,\"source\":";
    appendJsonString(json, bunkerPath + record.key + QLatin1Char('.') + record.format);
    json += ",\"title\":";
    appendJsonString(json, record.title);
    json += ",\"uuid\":";
    appendJsonString(json, record.key);
    json += '}';
}

// Keys of the memes that a live Bunker of this process may still put back. Tests keep several
// alive at once; what one of them holds is no leftover of a crash for the next one to restore.
QSet<QString> &heldRemovals()
{
    static QSet<QString> keys;
    return keys;
}
} // namespace

QString Bunker::settingsPath()
{
    return appDataLocation() + QStringLiteral("/settings/settings.ini");
}

Bunker::Bunker(QObject *parent)
    : QObject(parent)
    , bunkerPath(appDataLocation() + QStringLiteral("/bunker/"))
    , removedMemes(bunkerPath, appDataLocation() + QStringLiteral("/bunker-removed/"))
    , settings(settingsPath(), QSettings::IniFormat)
{
    NetworkPolicy::apply(manager, NetworkPolicy::defaultTransferTimeoutMs);
    connect(&manager, &QNetworkAccessManager::finished, this, &Bunker::onDownloadFinished);
    recoverUnconfirmedRemovals();
    // Quitting is no confirmation: whatever the pages do while they close, the memes come back.
    if (QCoreApplication *application = QCoreApplication::instance())
        connect(application, &QCoreApplication::aboutToQuit, this, &Bunker::undoAllRemovals);
}

Bunker::~Bunker()
{
    undoAllRemovals();
}

QString Bunker::getMemeCount()
{
    qDebug() << "KEYS " << settings.allKeys() << settings.fileName();
    return QString::number(settings.value(counterKey, 0).toInt());
}

void Bunker::save(const QString &title, const QVariant &var)
{
    QImage image;
    if (var.canConvert<QImage>())
        image = var.value<QImage>();
    // Not worth encoding: the writer would refuse it anyway.
    if (!image.isNull() && !PictureSize::isSensible(image.size()))
        image = QImage();

    QByteArray jpeg;
    QBuffer encoder(&jpeg);
    encoder.open(QIODevice::ReadWrite);
    if (!image.isNull())
        image.save(&encoder, "jpg");

    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::ReadOnly);
    writeMeme(title, buffer);
}

void Bunker::saveFromUrl(const QString &title, const QString &url)
{
    QUrl address(url, QUrl::TolerantMode);
    // A file:, qrc: or data: address would copy whatever it names into the bunker. It fails like
    // any download that cannot start, through the same handler.
    if (!NetworkPolicy::isWebAddress(address))
        address = NetworkPolicy::refusedAddress();
    QNetworkRequest request(address);
    // Each download keeps the title it was started with, however many run at once.
    request.setAttribute(QNetworkRequest::User, title);
    NetworkPolicy::limitBodySize(manager.get(request), maxDownloadSize);
}

void Bunker::onDownloadFinished(QNetworkReply *reply)
{
    reply->deleteLater();
    qDebug().noquote() << "Network request finished ...";
    if (!NetworkPolicy::succeeded(reply)) {
        emit imageSaved(false);
        return;
    }
    QByteArray body = reply->readAll();
    QBuffer buffer(&body);
    buffer.open(QIODevice::ReadOnly);
    const bool saved = writeMeme(reply->request().attribute(QNetworkRequest::User).toString(), buffer);
    emit imageSaved(saved);
}

bool Bunker::writeMeme(const QString &title, QBuffer &buffer)
{
    QImageReader reader(&buffer);
    // Only the header is looked at: a picture that cannot tell its size, or one too large for any
    // card to decode (a few kilobytes of PNG can claim 30000x30000), is not kept.
    const bool readable = reader.canRead() && PictureSize::isSensible(PictureSize::decoded(buffer.data()));
    qDebug() << "WE LIT BOIS" << readable;
    if (!readable)
        return false;

    const QDir directory(QDir(bunkerPath).absolutePath());
    if (!directory.mkpath(QStringLiteral(".")))
        return false;

    MemeRecord record;
    record.title = title;
    record.key = makeMemeKey();
    record.format = QString::fromLatin1(reader.format());
    record.animated = reader.supportsAnimation() && reader.imageCount() > 0;

    const QString imagePath
        = directory.absolutePath() + QLatin1Char('/') + record.key + QLatin1Char('.') + record.format;
    if (!writeWholeFile(imagePath, buffer.data()))
        return false;
    // The record goes last: a meme is listed only once its record exists.
    if (!writeWholeFile(bunkerPath + record.key + QStringLiteral(".dat"), record.toBytes())) {
        QFile::remove(imagePath);
        return false;
    }
    syncDirectory(directory.absolutePath());
    changeCounter(+1);
    emit memeCountChanged();
    return true;
}

QString Bunker::load(bool lastOnly)
{
    const QVector<RecordEntry> entries = listRecords(bunkerPath);
    const int wanted = lastOnly ? qMin(1, entries.size()) : entries.size();

    // Written directly rather than through QJsonArray, which took as long as reading the files.
    QByteArray json("[");
    json.reserve(wanted * (200 + 2 * bunkerPath.size()));
    for (int i = 0; i < wanted; ++i) {
        if (i > 0)
            json += ',';
        const RecordEntry &entry = entries.at(i);
        appendMeme(json, readRecord(bunkerPath + entry.name, entry.regularFile), bunkerPath);
    }
    json += ']';

    settings.setValue(counterKey, entries.size());
    emit memeCountChanged();
    return QString::fromUtf8(json);
}

void Bunker::remove(const QString &uuid)
{
    bool removed = false;
    if (isMemeKey(uuid)) {
        const QString format = MemeRecord::readFile(bunkerPath + uuid + QStringLiteral(".dat")).format;
        // A format that could name a path elsewhere leaves the whole meme alone.
        if (isFormatName(format) && removedMemes.takeOut(uuid, format)) {
            pendingRemovals.insert(uuid, format);
            heldRemovals().insert(uuid);
            removed = true;
        }
    }
    // The counter only follows what really happened, and never drops below zero.
    if (removed)
        changeCounter(-1);
    qDebug() << settings.fileName();
    emit memeCountChanged();
}

bool Bunker::undoRemove(const QString &uuid)
{
    const auto pending = pendingRemovals.constFind(uuid);
    if (pending == pendingRemovals.constEnd() || !removedMemes.putBack(uuid, pending.value()))
        return false;
    forgetRemoval(uuid);
    changeCounter(+1);
    emit memeCountChanged();
    return true;
}

void Bunker::confirmRemove(const QString &uuid)
{
    const auto pending = pendingRemovals.constFind(uuid);
    if (pending == pendingRemovals.constEnd())
        return;
    removedMemes.discard(uuid, pending.value());
    forgetRemoval(uuid);
}

void Bunker::forgetRemoval(const QString &uuid)
{
    pendingRemovals.remove(uuid);
    heldRemovals().remove(uuid);
}

void Bunker::undoAllRemovals()
{
    const QStringList keys = pendingRemovals.keys();
    for (const QString &key : keys) {
        if (removedMemes.putBack(key, pendingRemovals.value(key)))
            changeCounter(+1);
        forgetRemoval(key);
    }
}

// What a crash or a kill left waiting: a meme whose picture still exists was never confirmed gone and
// comes back; a record alone was cut off while its confirmed removal went on, and follows its picture.
void Bunker::recoverUnconfirmedRemovals()
{
    const QString waitingPath = removedMemes.waitingPath();
    bool changed = false;
    for (const RecordEntry &entry : listRecords(waitingPath)) {
        const QString key = entry.name.chopped(4);
        if (!isMemeKey(key) || heldRemovals().contains(key))
            continue;
        const QString format = MemeRecord::readFile(waitingPath + entry.name).format;
        if (!isFormatName(format))
            continue;
        if (removedMemes.hasPicture(key, format))
            removedMemes.putBack(key, format);
        else
            removedMemes.discard(key, format);
        changed = true;
    }
    // The counter may have been written before or after the crash: it is counted again.
    if (changed)
        settings.setValue(counterKey, listRecords(bunkerPath).size());
}

void Bunker::changeCounter(int delta)
{
    const int count = settings.value(counterKey, 0).toInt();
    settings.setValue(counterKey, qMax(0, count + delta));
}

void Bunker::setTransferTimeout(int milliseconds)
{
    NetworkPolicy::apply(manager, milliseconds);
}

void Bunker::setMaxDownloadSize(qint64 bytes)
{
    maxDownloadSize = bytes;
}
