// Feeds arbitrary bytes to the bunker as a record file and checks the listing it gives for it:
// exactly the compact JSON that Qt's own JSON classes write for what the record reader read.
#include "bunker.h"
#include "memerecord.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>

namespace {
std::unique_ptr<QTemporaryDir> scratch;
std::unique_ptr<Bunker> bunker;
QString bunkerPath;

void check(bool condition, const char *what)
{
    if (!condition) {
        qCritical("bunker listing: %s", what);
        std::abort();
    }
}

void quiet(QtMsgType type, const QMessageLogContext &, const QString &)
{
    if (type == QtFatalMsg)
        std::abort();
}

QString expectedListing(const MemeRecord &record)
{
    const QJsonObject meme {
        { QStringLiteral("title"), record.title },
        { QStringLiteral("uuid"), record.key },
        { QStringLiteral("animated"), record.animated },
        { QStringLiteral("source"), bunkerPath + record.key + QLatin1Char('.') + record.format },
    };
    return QString::fromUtf8(QJsonDocument(QJsonArray { meme }).toJson(QJsonDocument::Compact));
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    scratch = std::make_unique<QTemporaryDir>();
    check(scratch->isValid(), "no scratch folder");
    qputenv("XDG_DATA_HOME", QFile::encodeName(scratch->filePath("data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch->filePath("config")));
    QCoreApplication::setApplicationName(QStringLiteral("Jest Crate bunker fuzzer"));
    bunkerPath = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/bunker/");
    check(QDir().mkpath(bunkerPath), "no bunker folder");
    qInstallMessageHandler(quiet);
    bunker = std::make_unique<Bunker>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const QString recordPath = bunkerPath + QStringLiteral("fuzzed.dat");
    // A new file each time: rewriting one in place makes ext4 flush it to disk on close.
    QFile::remove(recordPath);
    {
        QFile file(recordPath);
        check(file.open(QIODevice::WriteOnly), "cannot write record file");
        check(file.write(bytes) == bytes.size(), "short write to record file");
    }
    const QString expected = expectedListing(MemeRecord::fromBytes(bytes));
    check(bunker->load() == expected, "listing differs from Qt's JSON");
    check(bunker->load(true) == expected, "listing of the newest meme differs from Qt's JSON");
    return 0;
}
