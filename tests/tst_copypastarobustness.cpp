#include "copypasta.h"
#include "objectlistmodel.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {
const QByteArray maxInt = QByteArray::number(std::numeric_limits<int>::max());

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

QStringList expectedTitles(const QStringList &oldestFirst)
{
    QStringList newestFirst;
    for (auto title = oldestFirst.crbegin(); title != oldestFirst.crend(); ++title)
        newestFirst << *title;
    return newestFirst;
}
} // namespace

// A damaged or hand-edited copypasta file must neither hang start-up nor exhaust memory: only the
// positions the file really holds are read, and the next change writes a consistent array again.
class TestCopyPastaRobustness : public QObject {
    Q_OBJECT

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

    void damagedSize_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("stored"); // oldest first, as the model should hold them

        const QStringList twoEntries { "t1", "t2" };
        QTest::newRow("hugeSize") << storeFile(maxInt, { 1, 2 }) << twoEntries;
        QTest::newRow("hugeSizeWithoutEntries") << storeFile(maxInt, {}) << QStringList();
        QTest::newRow("sizeBeyondEntries") << storeFile("10", { 1, 2 }) << twoEntries;
        // QVariant cuts such a number down to some large int: still no more than what is there.
        QTest::newRow("sizeBeyondIntRange") << storeFile("99999999999", { 1, 2 }) << twoEntries;
        // A missing position inside the array is still an entry, with empty title and text.
        QTest::newRow("gapInside") << storeFile(maxInt, { 1, 3 }) << QStringList { "t1", "", "t3" };
        QTest::newRow("sizeBelowEntries") << storeFile("1", { 1, 2, 3 }) << QStringList { "t1" };
        QTest::newRow("sizeMissing") << storeFile(QByteArray(), { 1, 2 }) << QStringList();
        QTest::newRow("zeroSize") << storeFile("0", { 1 }) << QStringList();
        QTest::newRow("negativeSize") << storeFile("-3", { 1 }) << QStringList();
        QTest::newRow("foreignPositionSpelling")
            << storeFile(maxInt, { 1 }) + "copypastas\\07\\title=seven\ncopypastas\\+9\\title=nine\n"
            << QStringList { "t1" };
    }

    // Start-up reads what is there; add() then stores one position after it and repairs the size.
    void damagedSize()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, stored);
        replaceStoreFile(file);

        ObjectListModel model;
        CopyPasta::loadInto(&model);
        QCOMPARE(titles(model), expectedTitles(stored));

        CopyPasta::add(QStringLiteral("added"), QStringLiteral("after damage"));
        QCOMPARE(titles(model).value(0), QStringLiteral("added"));
        QSettings written(copyOfStore(), QSettings::IniFormat);
        written.beginGroup(QStringLiteral("copypasta"));
        QCOMPARE(written.value(QStringLiteral("copypastas/size")).toInt(), stored.size() + 1);
        const QString addedPosition = QStringLiteral("copypastas/%1/").arg(stored.size() + 1);
        QCOMPARE(written.value(addedPosition + QStringLiteral("title")).toString(), QStringLiteral("added"));
        QCOMPARE(written.value(addedPosition + QStringLiteral("cptext")).toString(), QStringLiteral("after damage"));
    }

    void removeAfterDamagedSize_data()
    {
        damagedSize_data();
    }

    // remove() reads the same bounded array and writes back the rest, compacted, with a true size.
    void removeAfterDamagedSize()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, stored);
        replaceStoreFile(file);

        ObjectListModel model;
        CopyPasta::loadInto(&model);
        QObject *newest = model.rowCount() > 0 ? model.data(model.index(0)).value<QObject *>() : nullptr;
        CopyPasta::remove(newest, 0);

        const QStringList remaining = stored.mid(0, qMax(0, stored.size() - 1));
        QCOMPARE(titles(model), expectedTitles(remaining));
        QSettings written(copyOfStore(), QSettings::IniFormat);
        written.beginGroup(QStringLiteral("copypasta"));
        const int size = written.beginReadArray(QStringLiteral("copypastas"));
        QStringList writtenTitles;
        for (int i = 0; i < size; ++i) {
            written.setArrayIndex(i);
            QVERIFY(written.contains(QStringLiteral("title")));
            QVERIFY(written.contains(QStringLiteral("cptext")));
            writtenTitles << written.value(QStringLiteral("title")).toString();
        }
        QCOMPARE(writtenTitles, remaining);
    }

private:
    // Puts bytes under the process-wide store object and makes it parse them, as a fresh start of
    // the program would: the object only re-reads a file whose modification time has changed.
    void replaceStoreFile(const QByteArray &bytes)
    {
        QSettings &store = CopyPasta::store();
        store.sync();
        const QString path = store.fileName();
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), qint64(bytes.size()));
        QVERIFY(file.setFileTime(
            QDateTime::currentDateTime().addSecs(-3600 - ++replacements), QFileDevice::FileModificationTime));
        file.close();
        store.sync();
    }

    // QSettings shares one parsed copy per file name within a process; a copy under a new name is
    // parsed from the bytes on disk.
    QString copyOfStore()
    {
        const QString copy = scratch.filePath(QStringLiteral("copy%1.ini").arg(++copies));
        [&] { QVERIFY(QFile::copy(CopyPasta::store().fileName(), copy)); }();
        return copy;
    }

    static QStringList titles(const ObjectListModel &model)
    {
        QStringList result;
        for (int row = 0; row < model.rowCount(); ++row) {
            const auto *item = qobject_cast<CopyPasta *>(model.data(model.index(row)).value<QObject *>());
            result << (item ? item->getTitle() : QStringLiteral("<not a copypasta>"));
        }
        return result;
    }

    QTemporaryDir scratch;
    int replacements = 0;
    int copies = 0;
};

QTEST_GUILESS_MAIN(TestCopyPastaRobustness)

#include "tst_copypastarobustness.moc"
