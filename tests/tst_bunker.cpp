#include "cannedroutes.h"
#include "memerecord.h"
#include "startup.h"
#include "testfiles.h"
#include "testhttpserver.h"

#include <QMap>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace TestFiles;

namespace {
const QString counterKey = QStringLiteral("global/memeCount");
const QString oldKey = QStringLiteral("1600000000-00000000-0000-4000-8000-000000000000");

QByteArray recordBytes(const QString &title, const QString &format, const QString &key, bool animated = false)
{
    return MemeRecord { title, format, key, animated }.toBytes();
}

// A record as documented, spelled out by hand: per text a big-endian byte count and UTF-16BE code
// units (title, format, key), then one byte for the animated flag.
QByteArray documentedRecord(const QString &title, const QString &format, const QString &key, bool animated)
{
    QByteArray bytes;
    for (const QString &text : { title, format, key }) {
        bytes += QByteArray::fromHex(QByteArray::number(text.size() * 2, 16).rightJustified(8, '0'));
        for (const QChar c : text)
            bytes += QByteArray(1, char(c.unicode() >> 8)) + char(c.unicode() & 0xff);
    }
    return bytes + char(animated ? 1 : 0);
}
} // namespace

class TestBunker : public QObject {
    Q_OBJECT

    QString bunkerDir() const { return dataPath + QStringLiteral("/bunker/"); }
    QString iniPath() const { return dataPath + QStringLiteral("/settings/settings.ini"); }
    QString url(const QString &path) const { return server.url() + path; }

    // The counter as a fresh reader of the ini file sees it; invalid when absent.
    QVariant storedCounter() const { return QSettings(iniPath(), QSettings::IniFormat).value(counterKey); }
    void storeCounter(int count) const { QSettings(iniPath(), QSettings::IniFormat).setValue(counterKey, count); }
    QStringList bunkerFiles() const { return QDir(bunkerDir()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    void writeRecord(const QString &key, const QString &title, const QString &format) const
    {
        QVERIFY(write(bunkerDir() + key + ".dat", recordBytes(title, format, key)));
        QVERIFY(write(bunkerDir() + key + '.' + format, "picture"));
    }

    // What the listing was before load() wrote its JSON and read the directory by hand.
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

    void saveStoresJpegOnly()
    {
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
            bunker.save(QString(""), QVariant::fromValue(picture()));
            QCOMPARE(changed.count(), 1);

            const QStringList files = bunkerFiles();
            QCOMPARE(files.size(), 2);
            const QString key = QFileInfo(files.first()).completeBaseName();
            QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(
                                            "[0-9]{10}-[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}"))
                         .match(key)
                         .hasMatch(),
                qPrintable(key));
            QVERIFY(qAbs(key.left(10).toLongLong() - QDateTime::currentSecsSinceEpoch()) < 60);
            QCOMPARE(files, QStringList({ key + ".dat", key + ".jpeg" }));
            QCOMPARE(read(bunkerDir() + key + ".jpeg"), jpegOf(picture()));
            QCOMPARE(bunker.load(),
                QStringLiteral(R"([{"animated":false,"source":"%1","title":"","uuid":"%2"}])")
                    .arg(bunkerDir() + key + ".jpeg", key));
        }
        // The bunker is gone and has flushed its settings: this reads the file itself.
        QCOMPARE(storedCounter(), QVariant(1));
    }

    void downloadStoresBytesUnchanged_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("animated");
        QTest::newRow("png") << "/img/still.png"
                             << "png" << false;
        QTest::newRow("jpeg") << "/img/photo.jpg"
                              << "jpeg" << false;
        QTest::newRow("animatedGif") << "/img/animated.gif"
                                     << "gif" << true;
        QTest::newRow("singleFrameGif") << "/img/single.gif"
                                        << "gif" << true;
        QTest::newRow("redirected") << "/img/redirect"
                                    << "png" << false;
        QTest::newRow("largeButUnderCap") << "/img/huge"
                                          << "jpeg" << false;
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
        QCOMPARE(read(meme.value("source").toString()), server.fetch(path));
        QCOMPARE(key.size(), 47);
        QCOMPARE(read(bunkerDir() + key + ".dat"), documentedRecord("Downloaded", format, key, animated));
    }

    void downloadsInFlightKeepTheirTitles()
    {
        Bunker bunker;
        QSignalSpy saved(&bunker, &Bunker::imageSaved);
        bunker.saveFromUrl("A", url("/img/still.png"));
        bunker.saveFromUrl("B", url("/img/animated.gif"));
        QTRY_COMPARE(saved.count(), 2);
        QVERIFY(saved.at(0).at(0).toBool() && saved.at(1).at(0).toBool());
        QMap<QString, QString> titleBySuffix;
        for (const QJsonValue meme : listed(bunker))
            titleBySuffix.insert(QFileInfo(meme["source"].toString()).suffix(), meme["title"].toString());
        QCOMPARE(titleBySuffix, (QMap<QString, QString> { { "png", "A" }, { "gif", "B" } }));
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
        QSignalSpy saved(&bunker, &Bunker::imageSaved);
        QTest::ignoreMessage(QtDebugMsg, "Network request finished ...");
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
            QVERIFY(write(bunker, "in the way"));
        else
            QVERIFY(QFile::link(blocker, bunker));
        const QStringList memeLike { "*.dat*", "*.jpeg*", "*.gif*" };
        QVERIFY(QDir(bunker).entryList(memeLike).isEmpty());

        Bunker service;
        QSignalSpy changed(&service, &Bunker::memeCountChanged);
        service.save("Still", QVariant::fromValue(picture()));
        QCOMPARE(downloadOutcome(service, "Gif", url("/img/animated.gif")), false);
        QCOMPARE(changed.count(), 0);
        QVERIFY(!storedCounter().isValid());
        QCOMPARE(QDir(bunker).entryList(memeLike), QStringList());
        if (blocker == "file")
            QCOMPARE(read(bunker), QByteArray("in the way"));
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

    void listingMatchesQtJson_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("animated");
        QTest::newRow("plain") << QStringLiteral("Just a meme") << false;
        QTest::newRow("empty") << QString() << true;
        QTest::newRow("quotes") << QStringLiteral("say \"hi\" </script>") << false;
        QTest::newRow("backslashes") << QStringLiteral("\\o/ C:\\") << false;
        QTest::newRow("controlCharacters") << QStringLiteral("tab\tline\nreturn\rbell\x07del\x7f") << false;
        QTest::newRow("nonLatin") << QStringLiteral("Grüße, мем, ミーム, 😀") << true;
        QTest::newRow("loneSurrogate") << (QStringLiteral("broken ") + QChar(0xd800) + QStringLiteral(" pair"))
                                       << false;
    }

    // load() writes its JSON by hand for speed; it must be the text QJsonDocument gives.
    void listingMatchesQtJson()
    {
        QFETCH(QString, title);
        QFETCH(bool, animated);
        const QString key = QStringLiteral("1700000001-0b1c2d3e-4f50-4617-8293-a4b5c6d7e8f9");
        const QString olderKey = QStringLiteral("1700000000-0b1c2d3e-4f50-4617-8293-a4b5c6d7e8f9");
        QVERIFY(write(bunkerDir() + key + ".dat", MemeRecord { title, "jpeg", key, animated }.toBytes()));
        QVERIFY(write(bunkerDir() + olderKey + ".dat", MemeRecord { title, "gif", olderKey, animated }.toBytes()));
        Bunker bunker;
        QCOMPARE(bunker.load(), referenceListing(false));
        QCOMPARE(bunker.load(true), referenceListing(true));
    }

    // load() also lists the directory by hand: the same entries as QDir, newest first, and damaged
    // records listed with what could be read. Even a request for the newest one counts them all.
    void listingMatchesQDir()
    {
        for (const char *name : { "1700000002-b.dat", "1700000002-a.dat", "1700000002-B.dat", "upper.DAT",
                 ".hidden.dat", "notes.txt", "x.dat.jpeg", "short.da" })
            QVERIFY(write(bunkerDir() + name, recordBytes(name, "png", "x")));
        const QByteArray whole = recordBytes("cut", "png", "x");
        QVERIFY(write(bunkerDir() + "cut.dat", whole.left(whole.size() - 2)));
        QVERIFY(write(bunkerDir() + "empty.dat", QByteArray()));
        QVERIFY(QDir(bunkerDir()).mkdir("folder.dat"));
#ifdef Q_OS_UNIX
        QVERIFY(QFile::link(bunkerDir() + "upper.DAT", bunkerDir() + "link.dat"));
        QVERIFY(QFile::link(bunkerDir() + "gone", bunkerDir() + "broken.dat"));
        QCOMPARE(::mkfifo(QFile::encodeName(bunkerDir() + "pipe.dat").constData(), 0600), 0);
#endif
        Bunker bunker;
        const QString listing = bunker.load();
        QCOMPARE(listing, referenceListing(false));
        // The reference itself must have seen the odd entries for the comparison to mean anything.
        QVERIFY(listing.contains("upper.DAT") && !listing.contains(".hidden.dat"));
        const int count = QJsonDocument::fromJson(listing.toUtf8()).array().size();
        storeCounter(0);
        QCOMPARE(bunker.load(true), referenceListing(true));
        QCOMPARE(bunker.getMemeCount(), QString::number(count));
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
        QTest::newRow("parentDirectory") << "../victim";
        QTest::newRow("uppercaseKey") << oldKey.toUpper().replace("0000-4000", "ABCD-4ABC");
        QTest::newRow("trailingNewline") << oldKey + '\n';
        QTest::newRow("empty") << "";
        QTest::newRow("recordFormatTraverses") << "1700000000-22222222-2222-4222-8222-222222222222";
    }

    // Each crafted argument names files that a path built naively from it would delete.
    void removeRejectsCraftedInput()
    {
        QFETCH(QString, argument);
        writeRecord(oldKey, "keep me", "png");
        QVERIFY(write(dataPath + "/victim.dat", recordBytes("victim", "png", "victim")));
        QVERIFY(write(dataPath + "/victim.png", "victim"));
        const QString traversing = QStringLiteral("1700000000-22222222-2222-4222-8222-222222222222");
        QVERIFY(write(bunkerDir() + traversing + ".dat", recordBytes("traverses", "/../../victim.png", traversing)));
        QVERIFY(QDir().mkpath(bunkerDir() + traversing + '.')); // lets the traversal resolve
        if (!argument.contains('/') && argument != traversing)
            QVERIFY(write(bunkerDir() + argument + ".dat", recordBytes("crafted", "png", argument)));
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

    void quitPutsRemovedMemeBack_data()
    {
        QTest::addColumn<bool>("applicationQuits");
        QTest::newRow("bunkerDestroyed") << false;
        // Before the pages close, whatever they do then.
        QTest::newRow("applicationQuits") << true;
    }

    // From REMOVE on load() lists the meme no more; quitting is no confirmation.
    void quitPutsRemovedMemeBack()
    {
        QFETCH(bool, applicationQuits);
        const QStringList keys = storeThreeMemes();
        auto bunker = std::make_unique<Bunker>();
        const QString listing = bunker->load();
        bunker->remove(keys[1]);
        QCOMPARE(listed(*bunker).size(), 2);
        if (applicationQuits) {
            QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
            QCoreApplication::exec();
        } else {
            bunker.reset();
        }
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
