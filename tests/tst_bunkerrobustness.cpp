#include "bunker.h"
#include "cannedroutes.h"
#include "startup.h"
#include "testhttpserver.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtEndian>
#include <QtTest>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#endif

namespace {
// --- Pictures built byte by byte, so that each claims exactly what a hostile host would send. ---

quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray bigEndian32(quint32 value)
{
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray pngChunk(const QByteArray &type, const QByteArray &data)
{
    return bigEndian32(quint32(data.size())) + type + data + bigEndian32(crc32(type + data));
}

// A black-and-white PNG of the given size. With `pixels`, the whole picture follows, compressed
// (one bit per pixel of zeros: 30000x30000 takes about 110 KB); without, the header alone.
QByteArray blackPng(quint32 width, quint32 height, bool pixels)
{
    // Bit depth 1, greyscale, deflate, adaptive filtering, no interlace.
    const QByteArray header = bigEndian32(width) + bigEndian32(height) + QByteArray::fromHex("0100000000");
    QByteArray png = QByteArray::fromHex("89504e470d0a1a0a") + pngChunk("IHDR", header);
    if (pixels) {
        const QByteArray rows(int(height * (1 + (width + 7) / 8)), '\0'); // each row: filter byte, bits
        png += pngChunk("IDAT", qCompress(rows, 9).mid(4)); // qCompress puts a length before the zlib stream
    }
    return png + pngChunk("IEND", QByteArray());
}

QByteArray littleEndian16(quint16 value)
{
    return QByteArray(1, char(value & 0xff)) + char(value >> 8);
}

// An animated GIF of 1x1 frames on a screen of the given size, 10 ms per frame.
QByteArray manyFrameGif(int frames, quint16 screenWidth = 1, quint16 screenHeight = 1)
{
    QByteArray gif = "GIF89a" + littleEndian16(screenWidth) + littleEndian16(screenHeight);
    gif += QByteArray::fromHex("800000"
                               "000000"
                               "ffffff"); // two-colour global table: black, white
    gif += QByteArray::fromHex("21ff0b") + "NETSCAPE2.0"
        + QByteArray::fromHex("03010000"
                              "00"); // loop forever
    const QByteArray frame = QByteArray::fromHex("21f904"
                                                 "04"
                                                 "0100"
                                                 "00"
                                                 "00" // graphic control, 10 ms
                                                 "2c"
                                                 "0000"
                                                 "0000"
                                                 "0100"
                                                 "0100"
                                                 "00" // 1x1 at 0,0
                                                 "02"
                                                 "02"
                                                 "4401"
                                                 "00"); // one black pixel, LZW
    gif.reserve(gif.size() + frames * frame.size() + 1);
    for (int i = 0; i < frames; ++i)
        gif += frame;
    return gif + ';';
}

QByteArray jpegOf(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "jpg");
    return bytes;
}

QImage testImage(int width = 40, int height = 30)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, 128));
    return image;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

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

private:
    QString bunkerDir() const { return dataPath + QStringLiteral("/bunker"); }
    QString iniPath() const { return dataPath + QStringLiteral("/settings/settings.ini"); }

    QJsonArray listed(Bunker &bunker) { return QJsonDocument::fromJson(bunker.load().toUtf8()).array(); }

    static bool downloadOutcome(Bunker &bunker, const QString &address)
    {
        QSignalSpy saved(&bunker, &Bunker::imageSaved);
        bunker.saveFromUrl(QStringLiteral("hostile"), address);
        if (!saved.wait(30000) || saved.count() != 1)
            return false;
        return saved.takeFirst().at(0).toBool();
    }

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
        QFile::remove(iniPath());
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
        const QByteArray photo = jpegOf(testImage(400, 300));
        // Its header is whole, so it is kept as it came; a card shows what can be decoded.
        QTest::newRow("jpegCutInHalf") << photo.left(photo.size() / 2) << true;
        QTest::newRow("jpegCutInHeader") << photo.left(100) << false;
        QTest::newRow("gifThousandsOfFrames") << manyFrameGif(5000) << true;
        // The frames are 1x1, but Qt decodes each onto a canvas the size of the screen.
        QTest::newRow("gifScreen10000x20000") << manyFrameGif(2, 10000, 20000) << false;
        QTest::newRow("gifScreen65535x65535") << manyFrameGif(2, 65535, 65535) << false;
        QTest::newRow("gifScreenAtLimit") << manyFrameGif(2, 10000, 10000) << true;
    }

    // None of these may crash or balloon; only pictures a card could decode are kept.
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
        const bool saved = downloadOutcome(bunker, server.url() + QString::fromLatin1(path));
        // A decoded 20000x20000 picture alone would take 1.6 GB.
        QVERIFY2(peakResidentKiB() - peakBefore < 200 * 1024,
            qPrintable(QStringLiteral("peak grew by %1 KiB").arg(peakResidentKiB() - peakBefore)));
        QCOMPARE(saved, kept);
        QCOMPARE(changed.count(), kept ? 1 : 0);

        const QJsonArray memes = listed(bunker);
        QCOMPARE(memes.size(), kept ? 1 : 0);
        if (kept)
            QCOMPARE(readFile(memes.first().toObject().value("source").toString()), body);
        else
            QVERIFY(QDir(bunkerDir()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    void framesCountedInBoundedTime_data()
    {
        QTest::addColumn<int>("frames");
        QTest::newRow("thousand") << 1000;
        QTest::newRow("hundredThousand") << 100000;
    }

    // The writer counts frames without decoding any: time grows with the file, not with its frames'
    // pictures, and a huge count is still quick.
    void framesCountedInBoundedTime()
    {
        QFETCH(int, frames);
        const QByteArray gif = manyFrameGif(frames);
        server.route("/hostile/frames.gif",
            [gif](const TestHttpServer::Request &) { return TestHttpServer::Response::ok(gif, "image/gif"); });
        Bunker bunker;
        QElapsedTimer timer;
        timer.start();
        QVERIFY(downloadOutcome(bunker, server.url() + "/hostile/frames.gif"));
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QStringLiteral("took %1 ms").arg(timer.elapsed())));
        const QJsonObject meme = listed(bunker).first().toObject();
        QCOMPARE(meme.value("animated").toBool(), true);
        QVERIFY(meme.value("source").toString().endsWith(".gif"));
    }

    void oversizedImageObjectNotSaved_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("kept");
        QTest::newRow("small") << QSize(40, 30) << true;
        QTest::newRow("overLimit") << QSize(10001, 10000) << false;
    }

    // save() gets its picture from a card; one beyond the limit is not even encoded.
    void oversizedImageObjectNotSaved()
    {
        QFETCH(QSize, size);
        QFETCH(bool, kept);
        QImage image(size, QImage::Format_Mono); // an eighth of a byte per pixel keeps the test light
        image.fill(0);
        Bunker bunker;
        QSignalSpy changed(&bunker, &Bunker::memeCountChanged);
        QTest::ignoreMessage(QtDebugMsg, kept ? "WE LIT BOIS true" : "WE LIT BOIS false");
        bunker.save(QStringLiteral("big"), QVariant::fromValue(image));
        QCOMPARE(changed.count(), kept ? 1 : 0);
        QCOMPARE(listed(bunker).size(), kept ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TestBunkerRobustness)

#include "tst_bunkerrobustness.moc"
