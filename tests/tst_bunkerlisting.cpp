#include "bunker.h"
#include "memerecord.h"
#include "startup.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

// Bunker::load() writes its JSON and lists the directory by hand for speed; these tests hold it to
// the text that QJsonDocument and QDir::entryList give for the same directory.
class BunkerListingTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void sameTextAsQtJson_data();
    void sameTextAsQtJson();
    void sameEntriesAsQDir();

private:
    void writeRecord(const QString &fileName, const MemeRecord &record);
    QString expectedText(bool lastOnly) const;

    QString bunkerPath;
};

void BunkerListingTest::initTestCase()
{
    Startup::setIdentity(*QCoreApplication::instance());
    bunkerPath = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/bunker/");
}

void BunkerListingTest::init()
{
    QDir(bunkerPath).removeRecursively();
    QVERIFY(QDir().mkpath(bunkerPath));
}

void BunkerListingTest::writeRecord(const QString &fileName, const MemeRecord &record)
{
    QFile file(bunkerPath + fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(record.toBytes());
}

// What the listing was before it was written by hand: the reference.
QString BunkerListingTest::expectedText(bool lastOnly) const
{
    const QStringList entries
        = QDir(bunkerPath).entryList({ QStringLiteral("*.dat") }, QDir::NoFilter, QDir::Name | QDir::Reversed);
    QJsonArray memes;
    for (int i = 0; i < (lastOnly ? qMin(1, entries.size()) : entries.size()); ++i) {
        const MemeRecord record = MemeRecord::readFile(bunkerPath + entries.at(i));
        memes.append(QJsonObject { { QStringLiteral("title"), record.title }, { QStringLiteral("uuid"), record.key },
            { QStringLiteral("animated"), record.animated },
            { QStringLiteral("source"), bunkerPath + record.key + QLatin1Char('.') + record.format } });
    }
    return QString::fromUtf8(QJsonDocument(memes).toJson(QJsonDocument::Compact));
}

void BunkerListingTest::sameTextAsQtJson_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("animated");
    QTest::newRow("plain") << QStringLiteral("Just a meme") << false;
    QTest::newRow("empty") << QString() << true;
    QTest::newRow("quotesAndBackslashes") << QStringLiteral("say \"hi\" \\o/ </script>") << false;
    QTest::newRow("controlCharacters") << QStringLiteral("tab\tline\nreturn\rbell\x07del\x7f") << false;
    QTest::newRow("nonLatin") << QStringLiteral("Grüße, мем, ミーム, 😀") << true;
    QTest::newRow("loneSurrogate") << (QStringLiteral("broken ") + QChar(0xd800) + QStringLiteral(" pair")) << false;
}

void BunkerListingTest::sameTextAsQtJson()
{
    QFETCH(QString, title);
    QFETCH(bool, animated);
    MemeRecord record;
    record.title = title;
    record.format = QStringLiteral("jpeg");
    record.key = QStringLiteral("1700000001-0b1c2d3e-4f50-4617-8293-a4b5c6d7e8f9");
    record.animated = animated;
    writeRecord(record.key + QStringLiteral(".dat"), record);
    MemeRecord older = record;
    older.key = QStringLiteral("1700000000-0b1c2d3e-4f50-4617-8293-a4b5c6d7e8f9");
    older.format = QStringLiteral("gif");
    writeRecord(older.key + QStringLiteral(".dat"), older);

    Bunker bunker;
    QCOMPARE(bunker.load(), expectedText(false));
    QCOMPARE(bunker.load(true), expectedText(true));
}

void BunkerListingTest::sameEntriesAsQDir()
{
    MemeRecord record;
    record.title = QStringLiteral("Kept");
    record.format = QStringLiteral("png");
    for (const QString &name : { QStringLiteral("1700000002-b.dat"), QStringLiteral("1700000002-a.dat"),
             QStringLiteral("1700000002-B.dat"), QStringLiteral("upper.DAT"), QStringLiteral(".hidden.dat"),
             QStringLiteral("notes.txt"), QStringLiteral("x.dat.jpeg"), QStringLiteral("short.da") }) {
        record.key = name.section(QLatin1Char('.'), 0, 0);
        writeRecord(name, record);
    }
    QVERIFY(QDir(bunkerPath).mkdir(QStringLiteral("folder.dat")));
    QFile(bunkerPath + QStringLiteral("empty.dat")).open(QIODevice::WriteOnly);
#ifdef Q_OS_UNIX
    QVERIFY(QFile::link(bunkerPath + QStringLiteral("upper.DAT"), bunkerPath + QStringLiteral("link.dat")));
    QVERIFY(QFile::link(bunkerPath + QStringLiteral("gone"), bunkerPath + QStringLiteral("broken.dat")));
    QCOMPARE(::mkfifo(QFile::encodeName(bunkerPath + QStringLiteral("pipe.dat")).constData(), 0600), 0);
#endif

    Bunker bunker;
    const QString listed = bunker.load();
    QCOMPARE(listed, expectedText(false));
    // The reference itself must have seen the odd entries for the comparison to mean anything.
    QVERIFY(listed.contains(QStringLiteral("upper")));
    QVERIFY(!listed.contains(QStringLiteral(".hidden")));
    QCOMPARE(bunker.getMemeCount(), QString::number(QJsonDocument::fromJson(listed.toUtf8()).array().size()));
}

QTEST_GUILESS_MAIN(BunkerListingTest)

#include "tst_bunkerlisting.moc"
