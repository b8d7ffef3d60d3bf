#include "cannedroutes.h"
#include "hostilepictures.h"
#include "memerecord.h"
#include "startup.h"
#include "testfiles.h"
#include "testhttpserver.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace HostilePictures;
using namespace TestFiles;

namespace {
// The names of the files that leave `folder` while `action` runs, in the order they leave it.
QStringList namesLeaving(const QString &folder, const std::function<void()> &action)
{
    const int watcher = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    inotify_add_watch(watcher, QFile::encodeName(folder).constData(), IN_MOVED_FROM | IN_DELETE);
    action();
    QStringList names;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t size; (size = read(watcher, buffer, sizeof buffer)) > 0;) {
        for (char *at = buffer; at < buffer + size;) {
            const auto *event = reinterpret_cast<const inotify_event *>(at);
            names << QFile::decodeName(event->name);
            at += sizeof(inotify_event) + event->len;
        }
    }
    close(watcher);
    return names;
}

const QString counterKey = QStringLiteral("global/memeCount");
const QString oldKey = QStringLiteral("1600000000-00000000-0000-4000-8000-000000000000");

// The documented record layout, spelled out by hand: per text a big-endian byte count and UTF-16BE
// code units (title, format, key), then one byte for the animated flag.
QByteArray encoded(const QString &text)
{
    QByteArray bytes = QByteArray::fromHex(QByteArray::number(text.size() * 2, 16).rightJustified(8, '0'));
    for (const QChar c : text)
        bytes += QByteArray(1, char(c.unicode() >> 8)) + char(c.unicode() & 0xff);
    return bytes;
}

QByteArray documentedRecord(const QString &title, const QString &format, const QString &key, bool animated)
{
    return encoded(title) + encoded(format) + encoded(key) + char(animated ? 1 : 0);
}

// The largest resident size this process has had so far, in KiB.
long peakResidentKiB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
} // namespace

class TestBunker : public QObject {
    Q_OBJECT

    QString bunkerDir() const { return dataPath + QStringLiteral("/bunker/"); }
    QString iniPath() const { return dataPath + QStringLiteral("/settings/settings.ini"); }
    QVariant storedCounter() const { return QSettings(iniPath(), QSettings::IniFormat).value(counterKey); }
    void storeCounter(int count) const { QSettings(iniPath(), QSettings::IniFormat).setValue(counterKey, count); }
    QStringList bunkerFiles() const { return QDir(bunkerDir()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    // The bunker holds exactly this meme: its picture, its record in the documented layout, its
    // listing and the counter.
    void verifyOnlyMeme(Bunker &bunker, const QString &format, bool animated, const QByteArray &picture)
    {
        QCOMPARE(listed(bunker).size(), 1);
        const QString key = listed(bunker).first()["uuid"].toString();
        const QRegularExpression keyPattern("^[0-9]{10}-[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$");
        QVERIFY2(keyPattern.match(key).hasMatch(), qPrintable(key));
        const QString source = bunkerDir() + key + '.' + format;
        QCOMPARE(bunkerFiles(), QStringList({ key + ".dat", key + '.' + format }));
        QCOMPARE(read(source), picture);
        QCOMPARE(read(bunkerDir() + key + ".dat"), documentedRecord("Meme", format, key, animated));
        QCOMPARE(bunker.load(),
            QStringLiteral(R"([{"animated":%1,"source":"%2","title":"Meme","uuid":"%3"}])")
                .arg(animated ? "true" : "false", source, key));
        QCOMPARE(storedCounter().toInt(), 1);
    }

    // The listing as QDir and QJsonDocument give it, newest first.
    QString referenceListing(bool lastOnly) const
    {
        const QStringList entries
            = QDir(bunkerDir()).entryList({ "*.dat" }, QDir::NoFilter, QDir::Name | QDir::Reversed);
        QJsonArray memes;
        for (int i = 0; i < (lastOnly ? qMin(1, entries.size()) : entries.size()); ++i) {
            const MemeRecord record = MemeRecord::readFile(bunkerDir() + entries.at(i));
            memes.append(QJsonObject { { "title", record.title }, { "uuid", record.key },
                { "animated", record.animated }, { "source", bunkerDir() + record.key + '.' + record.format } });
        }
        return QString::fromUtf8(QJsonDocument(memes).toJson(QJsonDocument::Compact));
    }

    // A meme as a save leaves it: its record and a stand-in picture.
    void writeRecord(const QString &key, const QString &title, const QString &format) const
    {
        QVERIFY(write(bunkerDir() + key + ".dat", MemeRecord { title, format, key, false }.toBytes()));
        QVERIFY(write(bunkerDir() + key + '.' + format, "picture"));
    }

    QString waitingDir() const { return dataPath + QStringLiteral("/bunker-removed/"); }
    QString trashDir() const
    {
        return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Trash");
    }

    // Three memes a second apart, newest first, and neither a removal waiting nor a trash.
    QStringList storeThreeMemes() const
    {
        QStringList keys { QStringLiteral("1600000003-33333333-3333-4333-8333-333333333333"), oldKey,
            QStringLiteral("1599999999-11111111-1111-4111-8111-111111111111") };
        for (const QString &key : keys)
            writeRecord(key, "meme", "png");
        QFile::remove(trashDir());
        QDir(trashDir()).removeRecursively();
        QDir(waitingDir()).removeRecursively();
        return keys;
    }

    TestHttpServer server;
    QString dataPath;

private slots:
    void initTestCase()
    {
        Startup::setIdentity(*QCoreApplication::instance());
        dataPath = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QVERIFY(server.listen());
        installCannedRoutes(server);
    }

    void init()
    {
        QVERIFY(QDir(dataPath).removeRecursively());
        QSettings(iniPath(), QSettings::IniFormat).clear();
    }

    void save_data()
    {
        QTest::addColumn<QVariant>("image");
        QTest::addColumn<bool>("kept");
        QTest::newRow("picture") << QVariant::fromValue(picture()) << true;
        QTest::newRow("notAnImage") << QVariant(QStringLiteral("not an image")) << false;
        QTest::newRow("nullImage") << QVariant::fromValue(QImage()) << false;
        QImage huge(QSize(10001, 10000), QImage::Format_Mono); // an eighth of a byte per pixel keeps it light
        huge.fill(0);
        QTest::newRow("overPixelLimit") << QVariant::fromValue(huge) << false;
    }

    // A picture grabbed from a card is stored as JPEG; anything else leaves no trace.
    void save()
    {
        QFETCH(QVariant, image);
        QFETCH(bool, kept);
        Bunker bunker;
        QSignalSpy changed(&bunker, &Bunker::memeCountChanged);
        bunker.save(QStringLiteral("Meme"), image);
        QCOMPARE(changed.count(), kept ? 1 : 0);
        if (kept)
            verifyOnlyMeme(bunker, "jpeg", false, jpegOf(image.value<QImage>()));
        else
            QVERIFY(!QFileInfo::exists(bunkerDir()) && !storedCounter().isValid());
    }

    void download_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("body"); // served at the path when not null
        QTest::addColumn<qint64>("maxSize");
        QTest::addColumn<QString>("format"); // empty: refused
        const auto canned = [](const char *name, const char *path, const char *format,
                                qint64 maxSize = Bunker::defaultMaxDownloadSize) {
            QTest::newRow(name) << QString(path) << QByteArray() << maxSize << QString(format);
        };
        const auto hostile = [](const char *name, const QByteArray &body, const char *format) {
            QTest::newRow(name) << "/hostile/" + QString(name) << body << Bunker::defaultMaxDownloadSize
                                << QString(format);
        };
        canned("png", "/img/still.png", "png");
        canned("jpeg", "/img/photo.jpg", "jpeg");
        canned("animatedGif", "/img/animated.gif", "gif");
        canned("singleFrameGif", "/img/single.gif", "gif");
        canned("redirected", "/img/redirect", "png");
        canned("largeButUnderCap", "/img/huge", "jpeg");
        canned("notAnImage", "/img/notimage.txt", "");
        canned("status404", "/img/status404", "");
        canned("cutMidBody", "/img/close", "");
        canned("stalled", "/img/stall", "");
        canned("exactlyTheCap", "/img/photo.jpg", "jpeg", server.fetch("/img/photo.jpg").size());
        canned("overCap", "/img/huge", "", 1024 * 1024);
        canned("overCapWithoutLength", "/img/huge-unsized", "", 1024 * 1024);
        canned("emptyAddress", "", "");
        // Pictures that lie about themselves: only those a card can decode without taking hundreds
        // of megabytes are kept.
        hostile("png30000x30000", blackPng(30000, 30000, true), "");
        hostile("pngAtPixelLimit", blackPng(10000, 10000, true), "png");
        hostile("pngOverPixelLimit", blackPng(10000, 10001, true), "");
        hostile("pngWidthZero", blackPng(0, 100, false), "");
        hostile("pngClaimedButGarbage", QByteArray::fromHex("89504e470d0a1a0a") + QByteArray(512, 'x'), "");
        const QByteArray photo = jpegOf(picture(400, 300));
        // Its header is whole, so it is kept as it came; a card shows what can be decoded.
        hostile("jpegCutInHalf", photo.left(photo.size() / 2), "jpeg");
        hostile("jpegCutInHeader", photo.left(100), "");
        hostile("gifHundredThousandFrames", manyFrameGif(100000), "gif");
        // 1x1 frames, but Qt decodes each onto a canvas the size of the screen.
        hostile("gifScreen10000x20000", manyFrameGif(2, 10000, 20000), "");
        hostile("gifScreen65535x65535", manyFrameGif(2, 65535, 65535), "");
    }

    // Kept pictures are stored byte for byte; none is decoded, whatever it claims.
    void download()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, body);
        QFETCH(qint64, maxSize);
        QFETCH(QString, format);
        if (!body.isNull())
            server.route(path.toUtf8(),
                [body](const TestHttpServer::Request &) { return TestHttpServer::Response::ok(body, "image/png"); });
        Bunker bunker;
        if (format.isEmpty())
            bunker.setTransferTimeout(300);
        bunker.setMaxDownloadSize(maxSize);
        QSignalSpy changed(&bunker, &Bunker::memeCountChanged);
        const long peakBefore = peakResidentKiB();
        QCOMPARE(downloadOutcome(bunker, "Meme", path.isEmpty() ? QString() : server.url() + path), !format.isEmpty());
        // A decoded 20000x20000 picture alone would take 1.6 GB.
        QVERIFY2(peakResidentKiB() - peakBefore < 200L * 1024, "a picture was decoded");
        QCOMPARE(changed.count(), format.isEmpty() ? 0 : 1);
        if (format.isEmpty())
            QVERIFY(bunkerFiles().isEmpty() && !storedCounter().isValid());
        else
            verifyOnlyMeme(bunker, format, format == "gif", body.isNull() ? server.fetch(path) : body);
    }

    // load() reads the directory and writes its JSON by hand, for speed: it must list what QDir
    // and QJsonDocument would, damaged records with what could be read, and put the counter right.
    void listingMatchesQt()
    {
        const QStringList titles { "Just a meme", "", "say \"hi\" </script>", "\\o/ C:\\",
            "tab\tline\nreturn\rbell\x07"
            "del\x7f",
            "Grüße, мем, ミーム, 😀", QStringLiteral("broken ") + QChar(0xd800) + QStringLiteral(" pair") };
        for (int i = 0; i < titles.size(); ++i) {
            const QString key = QStringLiteral("170000000%1-0b1c2d3e-4f50-4617-8293-a4b5c6d7e8f9").arg(i);
            const MemeRecord record { titles.at(i), i % 2 ? "gif" : "jpeg", key, i % 2 == 1 };
            QVERIFY(write(bunkerDir() + key + ".dat", record.toBytes()));
        }
        for (const char *name : { "upper.DAT", ".hidden.dat", "notes.txt", "x.dat.jpeg", "short.da" })
            QVERIFY(write(bunkerDir() + name, MemeRecord { name, "png", "x", false }.toBytes()));
        const QByteArray whole = MemeRecord { "cut", "png", "x", false }.toBytes();
        QVERIFY(write(bunkerDir() + "cut.dat", whole.left(whole.size() - 2)));
        // Read no further than the size cap, so its title is cut short and it lists empty.
        const QString longTitle(int(MemeRecord::maxFileSize), 'x');
        QVERIFY(write(bunkerDir() + "oversized.dat", MemeRecord { longTitle, "png", "x", false }.toBytes()));
        QVERIFY(QDir(bunkerDir()).mkdir("folder.dat"));
        QVERIFY(QFile::link(bunkerDir() + "upper.DAT", bunkerDir() + "link.dat"));
        QVERIFY(QFile::link(bunkerDir() + "gone", bunkerDir() + "broken.dat"));
        // Opening a FIFO without a writer would block for ever, even through a link.
        QCOMPARE(::mkfifo(QFile::encodeName(bunkerDir() + "pipe.dat").constData(), 0600), 0);
        QVERIFY(QFile::link(bunkerDir() + "pipe.dat", bunkerDir() + "pipelink.dat"));
        storeCounter(0);

        Bunker bunker;
        QSignalSpy changed(&bunker, &Bunker::memeCountChanged);
        const QString listing = bunker.load();
        QCOMPARE(listing, referenceListing(false));
        QVERIFY(listing.contains("upper.DAT") && !listing.contains(".hidden.dat"));
        QCOMPARE(bunker.load(true), referenceListing(true));
        QCOMPARE(changed.count(), 2);
        QCOMPARE(bunker.getMemeCount(), QString::number(QJsonDocument::fromJson(listing.toUtf8()).array().size()));
    }

    void remove_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<int>("counterBefore");
        QTest::addColumn<int>("counterAfter");
        QTest::newRow("meme") << oldKey << 3 << 2;
        QTest::newRow("counterNeverBelowZero") << oldKey << 0 << 0;
        QTest::newRow("parentDirectory") << "../victim" << 1 << 1;
        QTest::newRow("recordFormatTraverses") << "1700000000-22222222-2222-4222-8222-222222222222" << 1 << 1;
    }

    // Only a meme's own two files go; crafted keys and record formats reach no other file.
    void remove()
    {
        QFETCH(QString, argument);
        QFETCH(int, counterBefore);
        QFETCH(int, counterAfter);
        const QString traversing = QStringLiteral("1700000000-22222222-2222-4222-8222-222222222222");
        QVERIFY(write(dataPath + "/victim.dat", MemeRecord { "victim", "png", "victim", false }.toBytes()));
        QVERIFY(write(dataPath + "/victim.png", "victim"));
        QVERIFY(write(bunkerDir() + traversing + ".dat",
            MemeRecord { "traverses", "/../../victim.png", traversing, false }.toBytes()));
        // Lets the traversal resolve, from the bunker and from where removed memes wait.
        QVERIFY(QDir().mkpath(bunkerDir() + traversing + '.'));
        QVERIFY(QDir().mkpath(dataPath + "/bunker-removed/" + traversing + '.'));
        QVERIFY(write(bunkerDir() + oldKey + ".dat", MemeRecord { "doomed", "png", oldKey, false }.toBytes()));
        QVERIFY(write(bunkerDir() + oldKey + ".png", "picture"));
        storeCounter(counterBefore);
        QStringList expected = bunkerFiles();
        if (argument == oldKey)
            expected = expected.filter(traversing);

        Bunker bunker;
        QSignalSpy changed(&bunker, &Bunker::memeCountChanged);
        const QStringList left = namesLeaving(bunkerDir(), [&] { bunker.remove(argument); });
        QCOMPARE(changed.count(), 1);
        QCOMPARE(bunkerFiles(), expected);
        // The record leaves first: a crash in between must never list a meme without its picture.
        if (!left.isEmpty())
            QCOMPARE(left.first(), argument + ".dat");
        QVERIFY(QFileInfo::exists(dataPath + "/victim.dat") && QFileInfo::exists(dataPath + "/victim.png"));
        QCOMPARE(storedCounter().toInt(), counterAfter);
    }

    void recordParsing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("fields"); // title, format, key, animated
        const QString key = QStringLiteral("1700000000-0123abcd-4567-89ab-cdef-0123456789ab");
        const QByteArray rest = encoded("png") + encoded(key) + char(1);
        QTest::newRow("cutInKey") << (encoded("abc") + rest).left(30) << QStringList { "abc", "png", "", "0" };
        QTest::newRow("nullTitle") << QByteArray::fromHex("ffffffff") + rest << QStringList { "", "png", key, "1" };
        QTest::newRow("titleLongerThanRecord")
            << QByteArray::fromHex("7ffffffe") + rest << QStringList { "", "", "", "0" };
        QTest::newRow("anyNonZeroByteIsTrue")
            << encoded("abc") + rest.chopped(1) + char(0x7f) + "junk" << QStringList { "abc", "png", key, "1" };
    }

    // Whatever is damaged comes out empty, as does everything after it; what came before stays.
    void recordParsing()
    {
        QFETCH(QByteArray, bytes);
        const MemeRecord record = MemeRecord::fromBytes(bytes);
        QTEST((QStringList { record.title, record.format, record.key, QString::number(record.animated) }), "fields");
    }

    void saveFromUrlTakesOnlyWebPictures_data()
    {
        QTest::addColumn<QString>("address");
        for (const auto &picture : nonWebPictures(server, dataPath))
            QTest::newRow(qPrintable(picture.first)) << picture.second;
    }

    // Nothing such an address names is copied into the bunker, nor where a web address leads to it.
    void saveFromUrlTakesOnlyWebPictures()
    {
        QFETCH(QString, address);
        Bunker bunker;
        QSignalSpy saved(&bunker, &Bunker::imageSaved);
        bunker.saveFromUrl("stolen", address);
        QVERIFY(saved.wait(10000));
        QCOMPARE(saved, QList<QVariantList>({ { false } }));
        QVERIFY(!QFileInfo::exists(bunkerDir()));
    }

    // Three memes a second apart, the middle one removed: what a fresh start after a crash at each
    // point of its removal, undo or confirmation lists. Files "moved" are in the waiting folder.
    void removalCutOffComesBackUnlessConfirmed_data()
    {
        QTest::addColumn<QStringList>("moved");
        QTest::addColumn<QStringList>("alsoInBunker"); // moved by linking, not yet unlinked
        QTest::addColumn<QStringList>("trashed");
        QTest::addColumn<bool>("comesBack");
        const QStringList none;
        QTest::newRow("recordMoved") << QStringList { "dat" } << none << none << true;
        QTest::newRow("bothMoved") << QStringList { "dat", "png" } << none << none << true;
        QTest::newRow("recordLinked") << QStringList { "dat", "png" } << QStringList { "dat" } << none << true;
        QTest::newRow("pictureTrashed") << QStringList { "dat" } << none << QStringList { "png" } << false;
    }

    void removalCutOffComesBackUnlessConfirmed()
    {
        QFETCH(QStringList, moved);
        QFETCH(QStringList, alsoInBunker);
        QFETCH(QStringList, trashed);
        QFETCH(bool, comesBack);
        const QStringList keys = storeThreeMemes();
        for (const QString &extension : moved + trashed) {
            const QString name = keys[1] + '.' + extension;
            QVERIFY(!moved.contains(extension) || write(waitingDir() + name, read(bunkerDir() + name)));
            QVERIFY(alsoInBunker.contains(extension) || QFile::remove(bunkerDir() + name));
        }
        storeCounter(2);
        Bunker fresh;
        QCOMPARE(storedCounter(), QVariant(comesBack ? 3 : 2));
        QCOMPARE(QDir(waitingDir()).entryList(QDir::Files), QStringList());
        QCOMPARE(bunkerFiles().filter(keys[1]).size(), comesBack ? 2 : 0);
        QCOMPARE(listed(fresh).size(), comesBack ? 3 : 2);
        QCOMPARE(QFileInfo::exists(trashDir() + "/files/" + keys[1] + ".dat"), !comesBack);
    }

    // From REMOVE on load() lists the meme no more; quitting, before the pages close, is no confirmation.
    void quitPutsRemovedMemeBack()
    {
        const QStringList keys = storeThreeMemes();
        Bunker bunker;
        const QString listing = bunker.load();
        bunker.remove(keys[1]);
        QCOMPARE(listed(bunker).size(), 2);
        QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
        QCoreApplication::exec();
        QCOMPARE(storedCounter(), QVariant(3));
        QCOMPARE(Bunker().load(), listing);
    }

    // Where Qt finds no trash folder it says it trashed the file, having moved it under the working
    // directory. The files are deleted instead.
    void confirmedRemovalWithoutTrashDeletes()
    {
        const QStringList keys = storeThreeMemes();
        QVERIFY(write(trashDir(), "a file where the trash folder belongs"));
        const QTemporaryDir workingDir;
        const QString previousWorkingDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(workingDir.path()));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Unable to establish trash directory"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Unable to establish trash directory"));
        Bunker bunker;
        bunker.remove(keys[1]);
        bunker.confirmRemove(keys[1]);
        QDir::setCurrent(previousWorkingDir);
        QCOMPARE(QDir(workingDir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
        QCOMPARE(QDir(waitingDir()).entryList(QDir::Files), QStringList());
        QCOMPARE(Bunker().load(), bunker.load());
        QCOMPARE(listed(bunker).size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestBunker)

#include "tst_bunker.moc"
