#include "objectlistmodel.h"
#include "testfiles.h"

#include <QRandomGenerator>
#include <QTemporaryDir>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

using namespace TestFiles;

namespace {
const QByteArray maxInt = QByteArray::number(std::numeric_limits<int>::max());
// Whatever Qt makes of garbage: only the whole store written back is checked.
const QStringList anything { QStringLiteral("<anything>") };

// An ini file as the copypasta store writes it, with the given size line (none when null) and
// entries at the given 1-based positions; entry N holds title "tN" and text "xN".
QByteArray storeFile(const QByteArray &size, const QList<int> &positions)
{
    QByteArray bytes = "[copypasta]\n";
    for (int position : positions) {
        const QByteArray n = QByteArray::number(position);
        bytes += "copypastas\\" + n + "\\title=t" + n + "\ncopypastas\\" + n + "\\cptext=x" + n + "\n";
    }
    if (!size.isNull())
        bytes += "copypastas\\size=" + size + "\n";
    return bytes;
}

// The model's titles, oldest first as the store holds them.
QStringList storedOrder(const ObjectListModel &model)
{
    QStringList titles;
    for (int row = 0; row < model.rowCount(); ++row) {
        const auto *item = qobject_cast<CopyPasta *>(model.data(model.index(row)).value<QObject *>());
        titles.prepend(item ? item->getTitle() : QStringLiteral("<not a copypasta>"));
    }
    return titles;
}
} // namespace

// A damaged, hand-edited or foreign copypasta file must neither hang start-up nor exhaust memory:
// only the positions the file really holds are read, and the next change writes a whole array again.
class TestCopyPastaRobustness : public QObject {
    Q_OBJECT

    QTemporaryDir scratch;

    QList<StoredPasta> written() { return storedPastas(freshCopy(CopyPasta::store().fileName(), scratch.path())); }

private slots:
    void initTestCase()
    {
        QVERIFY(scratch.isValid());
#if defined(Q_OS_UNIX) && !defined(__SANITIZE_ADDRESS__)
        // A regression would allocate copypastas without end; let it fail fast instead of taking
        // the machine with it. (AddressSanitizer reserves more address space than this by itself.)
        const rlim_t limit = rlim_t(4) << 30;
        rlimit current {};
        QCOMPARE(getrlimit(RLIMIT_AS, &current), 0);
        if (current.rlim_cur == RLIM_INFINITY || current.rlim_cur > limit) {
            current.rlim_cur = limit;
            QCOMPARE(setrlimit(RLIMIT_AS, &current), 0);
        }
#endif
    }

    void damagedFile_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("stored"); // oldest first

        const QStringList twoEntries { "t1", "t2" };
        QTest::newRow("hugeSize") << storeFile(maxInt, { 1, 2 }) << twoEntries;
        QTest::newRow("hugeSizeWithoutEntries") << storeFile(maxInt, {}) << QStringList {};
        QTest::newRow("sizeBeyondEntries") << storeFile("10", { 1, 2 }) << twoEntries;
        // QVariant cuts such a number down to some large int: still no more than what is there.
        QTest::newRow("sizeBeyondIntRange") << storeFile("99999999999", { 1, 2 }) << twoEntries;
        // A missing position inside the array is still an entry, with empty title and text.
        QTest::newRow("gapInside") << storeFile(maxInt, { 1, 3 }) << QStringList { "t1", "", "t3" };
        QTest::newRow("sizeBelowEntries") << storeFile("1", { 1, 2, 3 }) << QStringList { "t1" };
        QTest::newRow("sizeMissing") << storeFile(QByteArray(), { 1, 2 }) << QStringList {};
        QTest::newRow("zeroSize") << storeFile("0", { 1 }) << QStringList {};
        QTest::newRow("negativeSize") << storeFile("-3", { 1 }) << QStringList {};
        QTest::newRow("foreignPositionSpelling")
            << storeFile(maxInt, { 1 }) + "copypastas\\07\\title=seven\ncopypastas\\+9\\title=nine\n"
            << QStringList { "t1" };

        QByteArray random(65536, Qt::Uninitialized);
        QRandomGenerator generator(20240611);
        for (char &byte : random)
            byte = char(generator.bounded(256));
        QTest::newRow("randomBytes") << random << anything;
        QTest::newRow("unclosedSection") << QByteArray("[copypasta\ncopypastas\\size=2\ncopypastas\\1\\title=\"x\n")
                                         << anything;
        QTest::newRow("badEscapes") << QByteArray("[copypasta]\ncopypastas\\size=1\ncopypastas\\1\\title=\\x\\xd83d\\\n"
                                                  "copypastas\\1\\cptext=@Variant(\\0\\0\\0\x7f\\xff)\n")
                                    << anything;
    }

    // Start-up reads what is there. add() then stores one position after it and repairs the size;
    // remove() reads the same bounded array and writes back the rest, compacted, with a true size.
    void damagedFile()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, stored);

        replaceStoreFile(file);
        ObjectListModel model;
        CopyPasta::loadInto(&model);
        const QStringList loaded = storedOrder(model);
        if (stored != anything)
            QCOMPARE(loaded, stored);
        CopyPasta::add(QStringLiteral("added"), QStringLiteral("after damage"));
        QCOMPARE(storedOrder(model), loaded + QStringList { "added" });
        QSettings afterAdd(freshCopy(CopyPasta::store().fileName(), scratch.path()), QSettings::IniFormat);
        afterAdd.beginGroup(QStringLiteral("copypasta/copypastas"));
        QCOMPARE(afterAdd.value(QStringLiteral("size")).toInt(), loaded.size() + 1);
        const QString position = QString::number(loaded.size() + 1);
        QCOMPARE(afterAdd.value(position + QStringLiteral("/title")).toString(), QStringLiteral("added"));
        QCOMPARE(afterAdd.value(position + QStringLiteral("/cptext")).toString(), QStringLiteral("after damage"));

        replaceStoreFile(file);
        ObjectListModel reloaded;
        CopyPasta::loadInto(&reloaded);
        QObject *newest = reloaded.rowCount() > 0 ? reloaded.data(reloaded.index(0)).value<QObject *>() : nullptr;
        CopyPasta::remove(newest, 0);
        const QStringList remaining = loaded.mid(0, qMax(0, loaded.size() - 1));
        QCOMPARE(storedOrder(reloaded), remaining);
        const QList<StoredPasta> entries = written();
        QCOMPARE(titlesOf(entries), remaining);
        for (const StoredPasta &entry : entries)
            QVERIFY2(entry.whole, qPrintable(entry.title));
    }
};

QTEST_GUILESS_MAIN(TestCopyPastaRobustness)

#include "tst_copypastarobustness.moc"
