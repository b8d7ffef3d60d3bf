#include "cannedroutes.h"
#include "hostilepictures.h"
#include "startup.h"
#include "testfiles.h"
#include "testhttpserver.h"

#include <QElapsedTimer>
#include <QStandardPaths>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#endif

using namespace HostilePictures;
using namespace TestFiles;

namespace {
// The largest resident size this process has had so far, in KiB.
long peakResidentKiB()
{
#ifdef Q_OS_LINUX
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
#else
    return 0;
#endif
}
} // namespace

// Pictures that lie about themselves: none crashes the bunker or makes it decode a picture; only those
// a card could decode without taking hundreds of megabytes are kept.
class TestBunkerRobustness : public QObject {
    Q_OBJECT

    QString bunkerDir() const { return dataPath + QStringLiteral("/bunker"); }

    TestHttpServer server;
    QString dataPath;
    QByteArray hugePng;

private slots:
    void initTestCase()
    {
        Startup::setIdentity(*QCoreApplication::instance());
        dataPath = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QVERIFY(server.listen());
        installCannedRoutes(server);
        // Built once, before any memory is measured: 112 MB of pixel rows pass through on the way.
        hugePng = blackPng(30000, 30000, true);
    }

    void init()
    {
        QVERIFY(QDir(bunkerDir()).removeRecursively());
        QFile::remove(dataPath + QStringLiteral("/settings/settings.ini"));
    }

    void cleanup() { init(); }

    void hostileDownload_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("kept");

        QTest::newRow("png30000x30000") << hugePng << false;
        QTest::newRow("png20000x20000") << blackPng(20000, 20000, true) << false;
        QTest::newRow("pngAtLimit") << blackPng(10000, 10000, true) << true;
        QTest::newRow("pngOverLimit") << blackPng(10000, 10001, true) << false;
        QTest::newRow("pngWidthZero") << blackPng(0, 100, false) << false;
        QTest::newRow("pngClaimedButGarbage")
            << QByteArray::fromHex("89504e470d0a1a0a") + QByteArray(512, 'x') << false;
        QTest::newRow("pngClaimedButHtml") << QByteArray("<html><body>not found</body></html>") << false;
        QTest::newRow("pngCutInHeader") << blackPng(40, 30, true).left(20) << false;
        const QByteArray photo = jpegOf(picture(400, 300));
        // Its header is whole, so it is kept as it came; a card shows what can be decoded.
        QTest::newRow("jpegCutInHalf") << photo.left(photo.size() / 2) << true;
        QTest::newRow("jpegCutInHeader") << photo.left(100) << false;
        // Frames are counted without decoding any, so a huge count is still quick.
        QTest::newRow("gifThousandsOfFrames") << manyFrameGif(5000) << true;
        QTest::newRow("gifHundredThousandFrames") << manyFrameGif(100000) << true;
        // The frames are 1x1, but Qt decodes each onto a canvas the size of the screen.
        QTest::newRow("gifScreen10000x20000") << manyFrameGif(2, 10000, 20000) << false;
        QTest::newRow("gifScreen65535x65535") << manyFrameGif(2, 65535, 65535) << false;
        QTest::newRow("gifScreenAtLimit") << manyFrameGif(2, 10000, 10000) << true;
    }

    // None of these may crash, balloon or take long; only pictures a card could decode are kept.
    void hostileDownload()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, kept);
        const QByteArray path = "/hostile/" + QByteArray(QTest::currentDataTag());
        server.route(
            path, [body](const TestHttpServer::Request &) { return TestHttpServer::Response::ok(body, "image/png"); });

        Bunker bunker;
        QSignalSpy changed(&bunker, &Bunker::memeCountChanged);
        const long peakBefore = peakResidentKiB();
        QElapsedTimer timer;
        timer.start();
        const bool saved = downloadOutcome(bunker, "hostile", server.url() + QString::fromLatin1(path));
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QStringLiteral("took %1 ms").arg(timer.elapsed())));
        // A decoded 20000x20000 picture alone would take 1.6 GB.
        QVERIFY2(peakResidentKiB() - peakBefore < 200L * 1024,
            qPrintable(QStringLiteral("peak grew by %1 KiB").arg(peakResidentKiB() - peakBefore)));
        QCOMPARE(saved, kept);
        QCOMPARE(changed.count(), kept ? 1 : 0);

        const QJsonArray memes = listed(bunker);
        QCOMPARE(memes.size(), kept ? 1 : 0);
        if (kept) {
            QCOMPARE(read(memes.first()["source"].toString()), body);
            QCOMPARE(memes.first()["animated"].toBool(), body.startsWith("GIF"));
        } else {
            QVERIFY(QDir(bunkerDir()).entryList(QDir::Files | QDir::Hidden).isEmpty());
        }
    }

    // save() gets its picture from a card; one beyond the limit is not even encoded.
    void oversizedImageObjectNotSaved()
    {
        QImage image(QSize(10001, 10000), QImage::Format_Mono); // an eighth of a byte per pixel keeps it light
        image.fill(0);
        Bunker bunker;
        QSignalSpy changed(&bunker, &Bunker::memeCountChanged);
        QTest::ignoreMessage(QtDebugMsg, "WE LIT BOIS false");
        bunker.save(QStringLiteral("big"), QVariant::fromValue(image));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(listed(bunker).size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestBunkerRobustness)

#include "tst_bunkerrobustness.moc"
