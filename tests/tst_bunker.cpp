#include "bunker.h"
#include "cannedroutes.h"
#include "memerecord.h"
#include "startup.h"
#include "testhttpserver.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {
const QString counterKey = QStringLiteral("global/memeCount");
const QString oldKey = QStringLiteral("1600000000-00000000-0000-4000-8000-000000000000");

QImage testImage()
{
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    return image;
}

QByteArray jpegOf(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "jpg");
    return bytes;
}

QByteArray recordBytes(const QString &title, const QString &format, const QString &key, bool animated = false)
{
    return MemeRecord { title, format, key, animated }.toBytes();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QJsonArray listed(Bunker &bunker, bool lastOnly = false)
{
    return QJsonDocument::fromJson(bunker.load(lastOnly).toUtf8()).array();
}

QStringList titles(const QJsonArray &memes)
{
    QStringList result;
    for (const QJsonValue &meme : memes)
        result.append(meme.toObject().value("title").toString());
    return result;
}
} // namespace

class TestBunker : public QObject {
    Q_OBJECT

private:
    QString bunkerDir() const { return dataPath + QStringLiteral("/bunker/"); }
    QString iniPath() const { return dataPath + QStringLiteral("/settings/settings.ini"); }
    QString url(const QString &path) const { return server.url() + path; }

    // The counter as a fresh reader of the ini file sees it; invalid when absent.
    QVariant storedCounter() const { return QSettings(iniPath(), QSettings::IniFormat).value(counterKey); }
    void storeCounter(int count) const { QSettings(iniPath(), QSettings::IniFormat).setValue(counterKey, count); }

    QStringList bunkerFiles() const { return QDir(bunkerDir()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    void writeRecord(const QString &key, const QString &title, const QString &format, bool animated = false) const
    {
        QDir().mkpath(bunkerDir());
        QVERIFY(writeFile(bunkerDir() + key + ".dat", recordBytes(title, format, key, animated)));
        QVERIFY(writeFile(bunkerDir() + key + '.' + format, "picture"));
    }

    // Waits for the one imageSaved of a download and returns its argument.
    static bool downloadOutcome(Bunker &bunker, const QString &title, const QString &address)
    {
        QSignalSpy saved(&bunker, &Bunker::imageSaved);
        bunker.saveFromUrl(title, address);
        if (!saved.wait() || saved.count() != 1)
            return false;
        return saved.takeFirst().at(0).toBool();
    }

    TestHttpServer server;
    QString dataPath;

private slots:
    void initTestCase()
    {
        Startup::setIdentity(*QCoreApplication::instance());
        dataPath = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QVERIFY(dataPath.endsWith(QStringLiteral("Jest Crate")));
        QVERIFY(server.listen());
        installCannedRoutes(server);
    }

    void init()
    {
        // A test may leave a link or a plain file where the directory belongs; never follow a link.
        const QString bunker = QDir::cleanPath(bunkerDir());
        if (QFileInfo(bunker).isSymLink() || QFileInfo(bunker).isFile())
            QVERIFY(QFile::remove(bunker));
        QVERIFY(QDir(bunker).removeRecursively());
        QSettings(iniPath(), QSettings::IniFormat).clear();
        for (const QString &name : QDir(dataPath).entryList({ "victim*" }, QDir::Files))
            QFile::remove(dataPath + '/' + name);
    }

    void cleanup() { init(); }

    void writesTheDocumentedRecord()
    {
        Bunker bunker;
        QVERIFY(downloadOutcome(bunker, "abc", url("/img/still.png")));
        const QStringList records = QDir(bunkerDir()).entryList({ "*.dat" });
        QCOMPARE(records.size(), 1);
        const QString key = QFileInfo(records.first()).completeBaseName();
        QCOMPARE(key.size(), 47);

        QByteArray expected = QByteArray::fromHex("00000006006100620063"
                                                  "000000060070006e0067"
                                                  "0000005e");
        for (const QChar c : key)
            expected += QByteArray(1, '\0') + char(c.unicode());
        expected += QByteArray(1, '\0');
        QCOMPARE(readFile(bunkerDir() + records.first()), expected);
        QCOMPARE(expected.size(), 119);
        QCOMPARE(readFile(bunkerDir() + key + ".png"), server.fetch("/img/still.png"));
    }

    void saveStoresJpegOnly()
    {
        QString expectedJson;
        {
            Bunker bunker;
            QSignalSpy changed(&bunker, &Bunker::memeCountChanged);
            // What is not an image is refused without a trace.
            for (const QVariant &refused :
                { QVariant(QStringLiteral("not an image")), QVariant::fromValue(QImage()) }) {
                QTest::ignoreMessage(QtDebugMsg, "WE LIT BOIS false");
                bunker.save("refused", refused);
            }
            QVERIFY(!QFileInfo::exists(bunkerDir()));
            QVERIFY(!storedCounter().isValid());
            QTest::ignoreMessage(QtDebugMsg, "WE LIT BOIS true");
            bunker.save(QString(""), QVariant::fromValue(testImage()));
            QCOMPARE(changed.count(), 1);

            const QStringList files = bunkerFiles();
            QCOMPARE(files.size(), 2);
            const QString key = QFileInfo(files.first()).completeBaseName();
            QVERIFY(QRegularExpression(QRegularExpression::anchoredPattern(
                                           "[0-9]{10}-[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}"))
                        .match(key)
                        .hasMatch());
            QVERIFY(qAbs(key.left(10).toLongLong() - QDateTime::currentSecsSinceEpoch()) < 60);
            QCOMPARE(files, QStringList({ key + ".dat", key + ".jpeg" }));
            QCOMPARE(readFile(bunkerDir() + key + ".jpeg"), jpegOf(testImage()));
            expectedJson = QStringLiteral(R"([{"animated":false,"source":"%1","title":"","uuid":"%2"}])")
                               .arg(bunkerDir() + key + ".jpeg", key);
            QCOMPARE(bunker.load(), expectedJson);
        }
        // The bunker is gone and has flushed its settings: this reads the file itself.
        QCOMPARE(storedCounter(), QVariant(1));
    }

    void downloadStoresBytesUnchanged_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("animated");
        const auto add = [](const char *name, const char *path, const char *format, bool animated) {
            QTest::newRow(name) << QString(path) << QString(format) << animated;
        };
        add("png", "/img/still.png", "png", false);
        add("jpeg", "/img/photo.jpg", "jpeg", false);
        add("animatedGif", "/img/animated.gif", "gif", true);
        add("singleFrameGif", "/img/single.gif", "gif", true);
        add("redirected", "/img/redirect", "png", false);
        add("largeButUnderCap", "/img/huge", "jpeg", false);
    }

    void downloadStoresBytesUnchanged()
    {
        QFETCH(QString, path);
        QFETCH(QString, format);
        QFETCH(bool, animated);
        Bunker bunker;
        QStringList log;
        connect(&bunker, &Bunker::memeCountChanged, this, [&log] { log.append("memeCountChanged"); });
        connect(&bunker, &Bunker::imageSaved, this, [&log](bool ok) { log.append(QVariant(ok).toString()); });
        QTest::ignoreMessage(QtDebugMsg, "Network request finished ...");
        QTest::ignoreMessage(QtDebugMsg, "WE LIT BOIS true");
        QVERIFY(downloadOutcome(bunker, "Downloaded", url(path)));
        QCOMPARE(log, QStringList({ "memeCountChanged", "true" }));
        QCOMPARE(storedCounter(), QVariant(1));

        const QJsonArray memes = listed(bunker);
        QCOMPARE(memes.size(), 1);
        const QJsonObject meme = memes.first().toObject();
        const QString key = meme.value("uuid").toString();
        QCOMPARE(meme.value("title").toString(), QStringLiteral("Downloaded"));
        QCOMPARE(meme.value("animated").toBool(), animated);
        QCOMPARE(meme.value("source").toString(), bunkerDir() + key + '.' + format);
        QCOMPARE(bunkerFiles(), QStringList({ key + ".dat", key + '.' + format }));
        QCOMPARE(readFile(meme.value("source").toString()), server.fetch(path));
    }

    void downloadsInFlightKeepTheirTitles()
    {
        Bunker bunker;
        QSignalSpy saved(&bunker, &Bunker::imageSaved);
        bunker.saveFromUrl("A", url("/img/still.png"));
        bunker.saveFromUrl("B", url("/img/animated.gif"));
        QTRY_COMPARE(saved.count(), 2);
        QVERIFY(saved.at(0).at(0).toBool() && saved.at(1).at(0).toBool());
        QMap<QString, QString> titleBySource;
        for (const QJsonValue &meme : listed(bunker))
            titleBySource.insert(QFileInfo(meme["source"].toString()).suffix(), meme["title"].toString());
        QCOMPARE(titleBySource.value("png"), QStringLiteral("A"));
        QCOMPARE(titleBySource.value("gif"), QStringLiteral("B"));
    }

    void failedDownloadStoresNothing_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<qint64>("maxSize");
        const qint64 cap = Bunker::defaultMaxDownloadSize;
        for (const char *path :
            { "notimage.txt", "empty", "status403", "status404", "status429", "status500", "close", "stall" })
            QTest::newRow(path) << url(QStringLiteral("/img/") + path) << cap;
        QTest::newRow("overCap") << url("/img/huge") << qint64(1024 * 1024);
        QTest::newRow("overCapWithoutLength") << url("/img/huge-unsized") << qint64(1024 * 1024);
        QTest::newRow("emptyAddress") << QString() << cap;
    }

    void failedDownloadStoresNothing()
    {
        QFETCH(QString, address);
        QFETCH(qint64, maxSize);
        Bunker bunker;
        bunker.setTransferTimeout(300);
        bunker.setMaxDownloadSize(maxSize);
        QSignalSpy changed(&bunker, &Bunker::memeCountChanged);
        QTest::ignoreMessage(QtDebugMsg, "Network request finished ...");
        QSignalSpy saved(&bunker, &Bunker::imageSaved);
        bunker.saveFromUrl("Lost", address);
        QVERIFY(saved.wait());
        QCOMPARE(saved.count(), 1);
        QCOMPARE(saved.first().at(0).toBool(), false);
        QCOMPARE(changed.count(), 0);
        QVERIFY(!QFileInfo::exists(bunkerDir()));
        QVERIFY(!storedCounter().isValid());
    }

    void writeFailureStoresNothing_data()
    {
        QTest::addColumn<QString>("blocker");
        QTest::newRow("bunkerPathIsAFile") << "file";
#ifdef Q_OS_LINUX
        // Nobody, root included, can create files in /proc; root ignores permission bits.
        QTest::newRow("directoryRefusesFiles") << "/proc";
#endif
    }

    void writeFailureStoresNothing()
    {
        QFETCH(QString, blocker);
        const QString bunker = QDir::cleanPath(bunkerDir());
        QVERIFY(QDir().mkpath(dataPath));
        if (blocker == "file")
            QVERIFY(writeFile(bunker, "in the way"));
        else
            QVERIFY(QFile::link(blocker, bunker));
        const QStringList memeLike { "*.dat*", "*.jpeg*", "*.gif*" };
        QVERIFY(QDir(bunker).entryList(memeLike).isEmpty());

        Bunker service;
        QSignalSpy changed(&service, &Bunker::memeCountChanged);
        service.save("Still", QVariant::fromValue(testImage()));
        QCOMPARE(downloadOutcome(service, "Gif", url("/img/animated.gif")), false);
        QCOMPARE(changed.count(), 0);
        QVERIFY(!storedCounter().isValid());
        QCOMPARE(QDir(bunker).entryList(memeLike), QStringList());
        if (blocker == "file")
            QCOMPARE(readFile(bunker), QByteArray("in the way"));
    }

    void loadListsNewestFirst()
    {
        writeRecord(oldKey, "old", "png");
        writeRecord("1700000000-11111111-1111-4111-8111-111111111111", "same second, low", "gif", true);
        writeRecord("1700000000-ffffffff-ffff-4fff-8fff-ffffffffffff", "same second, high", "jpeg");
        QVERIFY(writeFile(bunkerDir() + "notes.txt", "not a record"));
        Bunker bunker;
        bunker.save("new", QVariant::fromValue(testImage()));
        QSignalSpy changed(&bunker, &Bunker::memeCountChanged);

        QCOMPARE(titles(listed(bunker)), QStringList({ "new", "same second, high", "same second, low", "old" }));
        QCOMPARE(titles(listed(bunker, true)), QStringList({ "new" }));
        QCOMPARE(changed.count(), 2);
        // Even a request for the newest meme only counts all of them.
        QCOMPARE(storedCounter(), QVariant(4));
    }

    void loadWithoutMemes_data()
    {
        QTest::addColumn<bool>("createDirectory");
        QTest::addColumn<int>("stored"); // -1: absent
        QTest::addColumn<QString>("keys");
        QTest::newRow("missingDirectoryNoCounter") << false << -1 << "()";
        QTest::newRow("emptyDirectoryStaleCounter") << true << 5 << "(\"global/memeCount\")";
    }

    // memeCount reports the stored counter (printing the store's keys); load() corrects it to 0.
    void loadWithoutMemes()
    {
        QFETCH(bool, createDirectory);
        QFETCH(int, stored);
        QFETCH(QString, keys);
        if (createDirectory)
            QVERIFY(QDir().mkpath(bunkerDir()));
        if (stored >= 0)
            storeCounter(stored);
        Bunker bunker;
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("KEYS  %1 \"%2\"").arg(keys, iniPath())));
        QCOMPARE(bunker.property("memeCount").toString(), QString::number(qMax(0, stored)));
        QSignalSpy changed(&bunker, &Bunker::memeCountChanged);
        QCOMPARE(bunker.load(true), QStringLiteral("[]"));
        QCOMPARE(bunker.load(), QStringLiteral("[]"));
        QCOMPARE(changed.count(), 2);
        QCOMPARE(storedCounter(), QVariant(0));
        QCOMPARE(bunker.property("memeCount").toString(), QStringLiteral("0"));
    }

    void removeAdjustsCounter_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("counterBefore"); // -1: absent
        QTest::addColumn<bool>("recordExists");
        QTest::addColumn<int>("counterAfter");
        QTest::newRow("jpegRemoved") << "jpeg" << 3 << true << 2;
        QTest::newRow("nothingToRemove") << "png" << 2 << false << 2;
        QTest::newRow("neverBelowZero") << "gif" << 0 << true << 0;
        QTest::newRow("absentCounterStaysZero") << "png" << -1 << false << 0;
    }

    void removeAdjustsCounter()
    {
        QFETCH(QString, format);
        QFETCH(int, counterBefore);
        QFETCH(bool, recordExists);
        QFETCH(int, counterAfter);
        if (recordExists)
            writeRecord(oldKey, "doomed", format);
        if (counterBefore >= 0)
            storeCounter(counterBefore);
        Bunker bunker;
        QSignalSpy changed(&bunker, &Bunker::memeCountChanged);
        QTest::ignoreMessage(QtDebugMsg, qPrintable('"' + iniPath() + '"'));
        bunker.remove(oldKey);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(storedCounter().toInt(), counterAfter);
        QVERIFY(bunkerFiles().isEmpty());
    }

    void removeRejectsCraftedInput_data()
    {
        QTest::addColumn<QString>("argument");
        const QString traversing = QStringLiteral("1700000000-22222222-2222-4222-8222-222222222222");
        QTest::newRow("parentDirectory") << "../victim";
        QTest::newRow("uppercaseKey") << oldKey.toUpper().replace("0000-4000", "ABCD-4ABC");
        QTest::newRow("trailingNewline") << oldKey + '\n';
        QTest::newRow("empty") << "";
        QTest::newRow("recordFormatTraverses") << traversing;
    }

    // Each crafted argument names files that a path built naively from it would delete.
    void removeRejectsCraftedInput()
    {
        QFETCH(QString, argument);
        writeRecord(oldKey, "keep me", "png");
        QVERIFY(writeFile(dataPath + "/victim.dat", recordBytes("victim", "png", "victim")));
        QVERIFY(writeFile(dataPath + "/victim.png", "victim"));
        const QString traversing = QStringLiteral("1700000000-22222222-2222-4222-8222-222222222222");
        QVERIFY(
            writeFile(bunkerDir() + traversing + ".dat", recordBytes("traverses", "/../../victim.png", traversing)));
        QVERIFY(QDir().mkpath(bunkerDir() + traversing + '.')); // lets the traversal resolve
        if (!argument.contains('/') && argument != traversing)
            QVERIFY(writeFile(bunkerDir() + argument + ".dat", recordBytes("crafted", "png", argument)));
        storeCounter(1);
        const QStringList before = bunkerFiles();

        Bunker bunker;
        QSignalSpy changed(&bunker, &Bunker::memeCountChanged);
        bunker.remove(argument);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(bunkerFiles(), before);
        QVERIFY(QFileInfo::exists(dataPath + "/victim.dat"));
        QVERIFY(QFileInfo::exists(dataPath + "/victim.png"));
        QCOMPARE(storedCounter(), QVariant(1));
    }

    void damagedRecordsListedByTheRules_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // null: a directory named like a record
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("key");
        const QByteArray whole = recordBytes("damaged", "png", "x", true);
        QTest::newRow("empty") << QByteArray("") << QString() << QString();
        QTest::newRow("cutInKey") << whole.left(whole.size() - 2) << "damaged" << QString();
        QTest::newRow("length0xFFFFFFFF") << QByteArray::fromHex("ffffffff") + whole.mid(18) << QString() << "x";
        QTest::newRow("formatWithoutImage") << whole << "damaged"
                                            << "x";
        QTest::newRow("directory") << QByteArray() << QString() << QString();
    }

    // A damaged record is listed with what could be read, and the meme beside it is unharmed.
    void damagedRecordsListedByTheRules()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, title);
        QFETCH(QString, key);
        writeRecord(oldKey, "intact", "gif", true);
        if (bytes.isNull())
            QVERIFY(QDir().mkpath(bunkerDir() + "x.dat"));
        else
            QVERIFY(writeFile(bunkerDir() + "x.dat", bytes));

        Bunker bunker;
        const QJsonArray memes = listed(bunker);
        QCOMPARE(memes.size(), 2);
        const QJsonObject damaged = memes.at(0).toObject();
        QCOMPARE(damaged.value("title").toString(), title);
        QCOMPARE(damaged.value("uuid").toString(), key);
        const QJsonObject intact = memes.at(1).toObject();
        QCOMPARE(intact.value("title").toString(), QStringLiteral("intact"));
        QCOMPARE(intact.value("animated").toBool(), true);
        QCOMPARE(intact.value("source").toString(), bunkerDir() + oldKey + ".gif");
        QVERIFY(QFileInfo::exists(intact.value("source").toString()));
        QCOMPARE(storedCounter(), QVariant(2));
    }
};

QTEST_GUILESS_MAIN(TestBunker)

#include "tst_bunker.moc"
