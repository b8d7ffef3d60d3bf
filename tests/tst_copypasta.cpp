#include "objectlistmodel.h"
#include "testfiles.h"

#include <climits>
#include <sys/resource.h>

using namespace TestFiles;

namespace {
// Entry N of a stored file holds title "tN" and text "xN"; 0 stands for a position the file lacks.
QStringList entries(const QList<int> &positions)
{
    QStringList result;
    for (int n : positions)
        result << (n ? QStringLiteral("t%1=x%1").arg(n) : QStringLiteral("="));
    return result;
}

// An ini file as the store writes it, with the given size line (none when null) and entries at
// the given 1-based positions.
QByteArray storeFile(const QByteArray &size, const QList<int> &positions)
{
    QByteArray bytes = "[copypasta]\n";
    for (int position : positions) {
        const QByteArray n = QByteArray::number(position);
        bytes += "copypastas\\" + n + "\\title=t" + n + "\ncopypastas\\" + n + "\\cptext=x" + n + "\n";
    }
    return size.isNull() ? bytes : bytes + "copypastas\\size=" + size + "\n";
}

// The model's rows as "title=text", oldest first as the store holds them.
QStringList shown(const ObjectListModel &model)
{
    QStringList result;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QObject *item = model.data(model.index(row)).value<QObject *>();
        result.prepend(item->property("title").toString() + '=' + item->property("cptext").toString());
    }
    return result;
}

// The first row of each range a model signal announced.
QList<int> rows(const QSignalSpy &spy)
{
    QList<int> result;
    for (const QList<QVariant> &arguments : spy)
        result << arguments.at(1).toInt() + 100 * (arguments.at(2).toInt() - arguments.at(1).toInt());
    return result;
}
} // namespace

class TestCopyPasta : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // A damaged size believed would allocate copypastas without end: fail fast instead.
        // (AddressSanitizer reserves more address space than this by itself.)
#ifndef __SANITIZE_ADDRESS__
        rlimit limit {};
        QCOMPARE(getrlimit(RLIMIT_AS, &limit), 0);
        limit.rlim_cur = qMin(limit.rlim_cur, rlim_t(4) << 30);
        QCOMPARE(setrlimit(RLIMIT_AS, &limit), 0);
#endif
    }

    void damagedFile_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("loaded"); // oldest first
        const QByteArray maxInt = QByteArray::number(INT_MAX);
        QTest::newRow("whole") << storeFile("3", { 1, 2, 3 }) << entries({ 1, 2, 3 });
        QTest::newRow("hugeSize") << storeFile(maxInt, { 1, 2 }) << entries({ 1, 2 });
        QTest::newRow("gapInside") << storeFile(maxInt, { 1, 3 }) << entries({ 1, 0, 3 });
        QTest::newRow("sizeBelowEntries") << storeFile("1", { 1, 2, 3 }) << entries({ 1 });
        QTest::newRow("sizeMissing") << storeFile(QByteArray(), { 1, 2 }) << QStringList {};
        QTest::newRow("negativeSize") << storeFile("-3", { 1 }) << QStringList {};
        QTest::newRow("foreignPositionSpelling")
            << storeFile(maxInt, { 1 }) + "copypastas\\07\\title=seven\ncopypastas\\+9\\title=nine\n"
            << entries({ 1 });
    }

    // Start-up reads only the positions the file holds, newest shown first. add() stores one
    // position after them; remove() writes back the rest, compacted and whole.
    void damagedFile()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, loaded);
        replaceStoreFile(file);
        ObjectListModel model;
        CopyPasta::loadInto(&model);
        QCOMPARE(shown(model), loaded);
        CopyPasta::add(QStringLiteral("added"), QStringLiteral("after damage"));
        QCOMPARE(shown(model), loaded + QStringList { "added=after damage" });
        const QStringList stored = storedPastas();
        QCOMPARE(stored.size(), loaded.size() + 1);
        QCOMPARE(stored.last(), QStringLiteral("added=after damage"));

        replaceStoreFile(file);
        ObjectListModel reloaded;
        CopyPasta::loadInto(&reloaded);
        CopyPasta::remove(reloaded.rowCount() ? reloaded.data(reloaded.index(0)).value<QObject *>() : nullptr, 0);
        QCOMPARE(shown(reloaded), loaded.mid(0, loaded.size() - 1));
        QCOMPARE(storedPastas(), loaded.mid(0, loaded.size() - 1));
    }

    void remove_data()
    {
        QTest::addColumn<int>("itemRow"); // -1: an object not in the model
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("middle") << 1 << 1 << entries({ 1, 3 }) << entries({ 1, 3 });
        QTest::newRow("indexPastEnd") << 1 << 3 << entries({ 1, 2, 3 }) << entries({ 1, 3 });
        QTest::newRow("indexMaxInt") << 1 << INT_MAX << entries({ 1, 2, 3 }) << entries({ 1, 3 });
        QTest::newRow("itemNotInModel") << -1 << 0 << entries({ 1, 2 }) << entries({ 1, 2, 3 });
    }

    // QML passes the item and its row, newest first; the stored position is counted from the end.
    void remove()
    {
        QFETCH(int, itemRow);
        QFETCH(int, index);
        replaceStoreFile(storeFile("3", { 1, 2, 3 }));
        ObjectListModel model;
        CopyPasta::loadInto(&model);
        CopyPasta outsider;
        CopyPasta::remove(itemRow < 0 ? &outsider : model.data(model.index(itemRow)).value<QObject *>(), index);
        QTEST(shown(model), "shown");
        QTEST(storedPastas(), "stored");
    }

    // Views insert and remove exactly the rows announced; a flat list has no children.
    void modelAnnouncesRows()
    {
        ObjectListModel model;
        QObject a, b, c;
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        model.append(&a);
        model.insert(&b);
        model.append(&c);
        model.remove(&a);
        model.remove(&a);
        QCOMPARE(rows(inserted), QList<int>({ 0, 0, 2 }));
        QCOMPARE(rows(removed), QList<int> { 1 });
        QCOMPARE(model.data(model.index(1)).value<QObject *>(), &c);
        QCOMPARE(model.rowCount(model.index(0)), 0);
    }
};

QTEST_GUILESS_MAIN(TestCopyPasta)
#include "tst_copypasta.moc"
