#include "memerecord.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {
const QString exampleKey = QStringLiteral("1700000000-0123abcd-4567-89ab-cdef-0123456789ab");

// The stored form spelled out by hand: big-endian byte count, then UTF-16BE code units.
QByteArray encoded(const QString &text)
{
    QByteArray bytes = QByteArray::fromHex(QByteArray::number(text.size() * 2, 16).rightJustified(8, '0'));
    for (const QChar c : text)
        bytes += char(c.unicode() >> 8) + QByteArray(1, char(c.unicode() & 0xff));
    return bytes;
}

QByteArray example(bool animated)
{
    return encoded("abc") + encoded("png") + encoded(exampleKey) + char(animated ? 1 : 0);
}
} // namespace

class TestMemeRecord : public QObject {
    Q_OBJECT

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("animated");
        QTest::newRow("emptyTitle") << ""
                                    << "jpeg" << false;
        QTest::newRow("surrogatePairTitle") << QString::fromUtf8("T\xc3\xa4st \xf0\x9f\x98\x82") << "gif" << true;
    }

    // Written in the documented layout, and read back as written.
    void roundTrip()
    {
        QFETCH(QString, title);
        QFETCH(QString, format);
        QFETCH(bool, animated);
        const QByteArray bytes = MemeRecord { title, format, exampleKey, animated }.toBytes();
        QCOMPARE(bytes, encoded(title) + encoded(format) + encoded(exampleKey) + char(animated ? 1 : 0));
        const MemeRecord read = MemeRecord::fromBytes(bytes);
        QCOMPARE(QStringList({ read.title, read.format, read.key }), QStringList({ title, format, exampleKey }));
        QCOMPARE(read.animated, animated);
    }

    void truncatedRecord_data()
    {
        QTest::addColumn<int>("length");
        for (int length = 0; length < example(true).size(); ++length)
            QTest::newRow(qPrintable(QStringLiteral("cutAt%1").arg(length))) << length;
    }

    // Whatever is cut short comes out empty, as does everything after it; what came before stays.
    void truncatedRecord()
    {
        QFETCH(int, length);
        const MemeRecord read = MemeRecord::fromBytes(example(true).left(length));
        QCOMPARE(read.title, length >= 10 ? QStringLiteral("abc") : QString());
        QCOMPARE(read.format, length >= 20 ? QStringLiteral("png") : QString());
        QCOMPARE(read.key, length >= 118 ? exampleKey : QString());
        QCOMPARE(read.animated, false);
    }

    void malformedRecord_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("animated");
        const auto add = [](const char *name, const QByteArray &bytes, const QString &title, const QString &format,
                             const QString &key,
                             bool animated) { QTest::newRow(name) << bytes << title << format << key << animated; };
        const QByteArray rest = encoded("png") + encoded(exampleKey) + char(1);
        add("empty", QByteArray(), "", "", "", false);
        add("oddTitleLength", QByteArray::fromHex("00000003616263") + rest, "", "", "", false);
        add("nullTitle", QByteArray::fromHex("ffffffff") + rest, "", "png", exampleKey, true);
        add("hugeTitleLength", QByteArray::fromHex("7ffffffe") + rest, "", "", "", false);
        add("length0xFFFFFFFE", QByteArray::fromHex("fffffffe") + rest, "", "", "", false);
        add("oddFormatLength",
            encoded("abc") + QByteArray::fromHex("000000050070006e00") + encoded(exampleKey) + char(1), "abc", "", "",
            false);
        add("anyNonZeroByteIsTrue", encoded("abc") + encoded("png") + encoded(exampleKey) + char(0x7f), "abc", "png",
            exampleKey, true);
        add("trailingBytesIgnored", example(false) + "junk", "abc", "png", exampleKey, false);
    }

    void malformedRecord()
    {
        QFETCH(QByteArray, bytes);
        const MemeRecord read = MemeRecord::fromBytes(bytes);
        QTEST(read.title, "title");
        QTEST(read.format, "format");
        QTEST(read.key, "key");
        QTEST(read.animated, "animated");
    }

    void readFileBoundsWhatItReads()
    {
        QTemporaryDir dir;
        QCOMPARE(MemeRecord::readFile(dir.filePath("missing.dat")).key, QString());

        QFile whole(dir.filePath("whole.dat"));
        QVERIFY(whole.open(QIODevice::WriteOnly));
        whole.write(example(true));
        whole.close();
        QCOMPARE(MemeRecord::readFile(whole.fileName()).key, exampleKey);

        // A title longer than the cap is not read at all, so the record comes out empty.
        const QString longTitle(int(MemeRecord::maxFileSize), QLatin1Char('x'));
        QFile oversized(dir.filePath("oversized.dat"));
        QVERIFY(oversized.open(QIODevice::WriteOnly));
        oversized.write(MemeRecord { longTitle, "png", exampleKey, true }.toBytes());
        oversized.close();
        const MemeRecord read = MemeRecord::readFile(oversized.fileName());
        QVERIFY(read.title.isEmpty());
        QVERIFY(read.key.isEmpty());

#ifdef Q_OS_UNIX
        // A FIFO without a writer would block an open() for ever.
        const QByteArray fifo = QFile::encodeName(dir.filePath("fifo.dat"));
        QCOMPARE(mkfifo(fifo.constData(), 0600), 0);
        QCOMPARE(MemeRecord::readFile(QFile::decodeName(fifo)).key, QString());
#endif
    }
};

QTEST_GUILESS_MAIN(TestMemeRecord)

#include "tst_memerecord.moc"
