// Feeds arbitrary bytes to the feed client as a listing page and checks what it hands on: the body
// as text, cut at a NUL byte, and the listing's "after" cursor in the next request.
//
// The client is reached only through what QML sees (the settings store, load() and the signal):
// its origin points at a folder, so each input is a file that Qt's network access reads back,
// with no server and no socket.
#include "reddit.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrl>

#include <cstdlib>
#include <memory>

namespace {
std::unique_ptr<QTemporaryDir> scratch;
QString origin;
QString listingFile;
QStringList debugLines;

void check(bool condition, const char *what)
{
    if (!condition) {
        qCritical("listing handler: %s", what);
        std::abort();
    }
}

void keepDebugLines(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg)
        debugLines.append(message);
    else if (type == QtFatalMsg)
        std::abort();
}

// What the page receives for a body: the text up to a NUL byte, never a null string.
QString expectedText(const QByteArray &body)
{
    const int nul = body.indexOf('\0');
    const QString text = QString::fromUtf8(nul < 0 ? body : body.left(nul));
    return text.isNull() ? QStringLiteral("") : text;
}

QString expectedCursor(const QByteArray &body)
{
    return QJsonDocument::fromJson(body).object().value("data").toObject().value("after").toString();
}

// The debug line the client writes for a request URL: Qt's quoted form of the text.
QString urlLine(const QString &cursor)
{
    QString line;
    QDebug(&line) << origin + QStringLiteral("/r/dankmemes/hot.json?after=") + cursor + QStringLiteral("&limit=25");
    return line.trimmed();
}

// Waits for the one answer to a request the client has made.
QString nextResponse(Reddit &reddit)
{
    QString received;
    bool answered = false;
    QEventLoop loop;
    const auto connection = QObject::connect(&reddit, &Reddit::responseAvailable, &loop, [&](const QString &reply) {
        check(!answered, "two answers to one request");
        received = reply;
        answered = true;
        loop.quit();
    });
    if (!answered)
        loop.exec();
    QObject::disconnect(connection);
    return received;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    scratch = std::make_unique<QTemporaryDir>();
    check(scratch->isValid(), "no scratch folder");
    // Settings and caches of this run stay in the scratch folder.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch->filePath("config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(scratch->filePath("data")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(scratch->filePath("cache")));
    QCoreApplication::setOrganizationDomain(QStringLiteral("fuzz.invalid"));
    QCoreApplication::setApplicationName(QStringLiteral("Jest Crate listing fuzzer"));

    origin = QUrl::fromLocalFile(scratch->path()).toString();
    check(QDir(scratch->path()).mkpath(QStringLiteral("r/dankmemes")), "no listing folder");
    listingFile = scratch->filePath(QStringLiteral("r/dankmemes/hot.json"));
    QSettings settings;
    settings.setValue(QStringLiteral("trending/origin"), origin);
    settings.sync();
    qInstallMessageHandler(keepDebugLines);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char *>(data), int(size));
    {
        // A new file each time: rewriting one in place makes ext4 flush it to disk on close.
        QFile::remove(listingFile);
        QFile file(listingFile);
        check(file.open(QIODevice::WriteOnly), "cannot write listing file");
        check(file.write(body) == body.size(), "short write to listing file");
    }

    debugLines.clear();
    {
        // A new client asks for the first page at once, with an empty cursor.
        Reddit reddit;
        check(debugLines.value(0) == urlLine(QString()), "first request differs");
        check(nextResponse(reddit) == expectedText(body), "page text differs from the body");

        // Whatever the cursor holds goes verbatim into the next request. The page itself may then
        // be unreachable (a cursor can turn the rest of the URL into a fragment or worse), so its
        // answer is either the same page or a failure.
        debugLines.clear();
        reddit.load();
        check(debugLines.value(0) == urlLine(expectedCursor(body)), "cursor not carried into the next request");
        const QString again = nextResponse(reddit);
        check(again.isEmpty() || again == expectedText(body), "second answer differs");
    }
    // Replies are deleted later; do it now so that nothing outlives the input.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
