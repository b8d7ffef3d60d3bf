#include "objectlistmodel.h"

#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <vector>

class TestObjectListModel : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void addOrder_data();
    void addOrder();
    void remove_data();
    void remove();
    void removedObjectSurvives();
    void dataIgnoresRole_data();
    void dataIgnoresRole();
    void roleNames();

private:
    QObject *object(const QString &name);
    QStringList names() const;
    static QList<QPair<int, int>> ranges(QSignalSpy &spy);

    std::unique_ptr<ObjectListModel> model;
    std::vector<std::unique_ptr<QObject>> objects;
};

void TestObjectListModel::init()
{
    model = std::make_unique<ObjectListModel>();
    objects.clear();
}

// One object per name, created on first use; the model never owns them.
QObject *TestObjectListModel::object(const QString &name)
{
    for (const auto &existing : objects) {
        if (existing->objectName() == name)
            return existing.get();
    }
    objects.push_back(std::make_unique<QObject>());
    objects.back()->setObjectName(name);
    return objects.back().get();
}

QStringList TestObjectListModel::names() const
{
    QStringList result;
    for (int row = 0; row < model->rowCount(); ++row)
        result << model->data(model->index(row)).value<QObject *>()->objectName();
    return result;
}

QList<QPair<int, int>> TestObjectListModel::ranges(QSignalSpy &spy)
{
    QList<QPair<int, int>> result;
    while (!spy.isEmpty()) {
        const QList<QVariant> arguments = spy.takeFirst();
        result << qMakePair(arguments.at(1).toInt(), arguments.at(2).toInt());
    }
    return result;
}

void TestObjectListModel::addOrder_data()
{
    // Each step is "a" (append) or "i" (insert) followed by the object's name.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QList<int>>("insertedRows");

    QTest::newRow("appendTwo") << QStringList { "aA", "aB" } << QStringList { "A", "B" } << QList<int> { 0, 1 };
    QTest::newRow("insertTwo") << QStringList { "iA", "iB" } << QStringList { "B", "A" } << QList<int> { 0, 0 };
    QTest::newRow("insertThenAppend") << QStringList { "iA", "iB", "aC" } << QStringList { "B", "A", "C" }
                                      << QList<int> { 0, 0, 2 };
    QTest::newRow("appendThenInsert") << QStringList { "aA", "aB", "iC" } << QStringList { "C", "A", "B" }
                                      << QList<int> { 0, 1, 0 };
    QTest::newRow("duplicatesKept") << QStringList { "aA", "iA", "aA" } << QStringList { "A", "A", "A" }
                                    << QList<int> { 0, 0, 2 };
}

void TestObjectListModel::addOrder()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, expected);
    QFETCH(QList<int>, insertedRows);

    QSignalSpy inserted(model.get(), &QAbstractItemModel::rowsInserted);
    QVERIFY(inserted.isValid());
    for (const QString &step : steps) {
        QObject *item = object(step.mid(1));
        if (step.startsWith(QLatin1Char('a')))
            model->append(item);
        else
            model->insert(item);
    }

    QCOMPARE(names(), expected);
    QCOMPARE(model->rowCount(), expected.size());
    QList<QPair<int, int>> expectedRanges;
    for (int row : insertedRows)
        expectedRanges << qMakePair(row, row);
    QCOMPARE(ranges(inserted), expectedRanges);
}

void TestObjectListModel::remove_data()
{
    QTest::addColumn<QStringList>("initial");
    QTest::addColumn<QString>("removed");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("removedRow"); // -1: no signal at all

    QTest::newRow("first") << QStringList { "A", "B", "C" } << "A" << QStringList { "B", "C" } << 0;
    QTest::newRow("middle") << QStringList { "A", "B", "C" } << "B" << QStringList { "A", "C" } << 1;
    QTest::newRow("last") << QStringList { "A", "B", "C" } << "C" << QStringList { "A", "B" } << 2;
    QTest::newRow("onlyItem") << QStringList { "A" } << "A" << QStringList {} << 0;
    QTest::newRow("duplicateRemovesFirst") << QStringList { "A", "B", "A" } << "A" << QStringList { "B", "A" } << 0;
    QTest::newRow("neverAdded") << QStringList { "A", "B" } << "Z" << QStringList { "A", "B" } << -1;
    QTest::newRow("emptyModel") << QStringList {} << "Z" << QStringList {} << -1;
}

void TestObjectListModel::remove()
{
    QFETCH(QStringList, initial);
    QFETCH(QString, removed);
    QFETCH(QStringList, expected);
    QFETCH(int, removedRow);

    for (const QString &name : initial)
        model->append(object(name));
    QSignalSpy aboutToRemove(model.get(), &QAbstractItemModel::rowsAboutToBeRemoved);
    QSignalSpy removedSpy(model.get(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy inserted(model.get(), &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(model.get(), &QAbstractItemModel::modelReset);
    QVERIFY(removedSpy.isValid());

    model->remove(object(removed));

    QCOMPARE(names(), expected);
    QCOMPARE(inserted.count(), 0);
    QCOMPARE(reset.count(), 0);
    if (removedRow < 0) {
        QCOMPARE(aboutToRemove.count(), 0);
        QCOMPARE(removedSpy.count(), 0);
    } else {
        QCOMPARE(ranges(aboutToRemove), (QList<QPair<int, int>> { qMakePair(removedRow, removedRow) }));
        QCOMPARE(ranges(removedSpy), (QList<QPair<int, int>> { qMakePair(removedRow, removedRow) }));
    }
}

void TestObjectListModel::removedObjectSurvives()
{
    QObject *item = object(QStringLiteral("kept"));
    item->setProperty("title", QStringLiteral("still here"));
    QPointer<QObject> guard(item);
    model->append(item);

    model->remove(item);
    model.reset();

    QVERIFY(!guard.isNull());
    QCOMPARE(guard->property("title").toString(), QStringLiteral("still here"));
}

void TestObjectListModel::dataIgnoresRole_data()
{
    QTest::addColumn<int>("role");
    QTest::newRow("item") << int(ObjectListModel::ItemRole);
    QTest::newRow("display") << int(Qt::DisplayRole);
    QTest::newRow("userRole") << int(Qt::UserRole);
    QTest::newRow("negative") << -1;
    QTest::newRow("large") << 100000;
}

void TestObjectListModel::dataIgnoresRole()
{
    QFETCH(int, role);
    model->append(object(QStringLiteral("A")));
    model->append(object(QStringLiteral("B")));

    const QVariant value = model->data(model->index(1), role);
    QCOMPARE(value.userType(), int(QMetaType::QObjectStar));
    QCOMPARE(value.value<QObject *>(), object(QStringLiteral("B")));
    QVERIFY(!model->data(QModelIndex(), role).isValid());
}

void TestObjectListModel::roleNames()
{
    const QHash<int, QByteArray> expected { { 257, QByteArrayLiteral("item") } };
    QCOMPARE(model->roleNames(), expected);
}

QTEST_GUILESS_MAIN(TestObjectListModel)
#include "tst_objectlistmodel.moc"
