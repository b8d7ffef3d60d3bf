#include "objectlistmodel.h"

#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <vector>

class TestObjectListModel : public QObject {
    Q_OBJECT

    // One object per name, created on first use; the model never owns them.
    QObject *object(const QString &name)
    {
        for (const auto &existing : objects) {
            if (existing->objectName() == name)
                return existing.get();
        }
        objects.push_back(std::make_unique<QObject>());
        objects.back()->setObjectName(name);
        return objects.back().get();
    }

    QStringList names() const
    {
        QStringList result;
        for (int row = 0; row < model->rowCount(); ++row)
            result << model->data(model->index(row)).value<QObject *>()->objectName();
        return result;
    }

    // The single row of each emitted range (-100 where first and last differ).
    static QList<int> rows(const QSignalSpy &spy)
    {
        QList<int> result;
        for (const QList<QVariant> &arguments : spy)
            result << (arguments.at(1) == arguments.at(2) ? arguments.at(1).toInt() : -100);
        return result;
    }

    std::vector<std::unique_ptr<QObject>> objects;
    std::unique_ptr<ObjectListModel> model;

private slots:
    void init()
    {
        model = std::make_unique<ObjectListModel>();
        objects.clear();
    }

    void addOrder_data()
    {
        // Each step is "a" (append) or "i" (insert) followed by the object's name.
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QList<int>>("insertedRows");
        QTest::newRow("insertThenAppend")
            << QStringList { "iA", "iB", "aC" } << QStringList { "B", "A", "C" } << QList<int> { 0, 0, 2 };
        QTest::newRow("appendThenInsert")
            << QStringList { "aA", "aB", "iC" } << QStringList { "C", "A", "B" } << QList<int> { 0, 1, 0 };
        QTest::newRow("duplicatesKept") << QStringList { "aA", "iA", "aA" } << QStringList { "A", "A", "A" }
                                        << QList<int> { 0, 0, 2 };
    }

    void addOrder()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, expected);
        QFETCH(QList<int>, insertedRows);
        QSignalSpy inserted(model.get(), &QAbstractItemModel::rowsInserted);
        for (const QString &step : steps) {
            if (step.startsWith(QLatin1Char('a')))
                model->append(object(step.mid(1)));
            else
                model->insert(object(step.mid(1)));
        }
        QCOMPARE(names(), expected);
        QCOMPARE(model->rowCount(), expected.size());
        QCOMPARE(rows(inserted), insertedRows);
    }

    void remove_data()
    {
        QTest::addColumn<QStringList>("initial");
        QTest::addColumn<QString>("removed");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("removedRow"); // -1: no signal at all
        QTest::newRow("middle") << QStringList { "A", "B", "C" } << "B" << QStringList { "A", "C" } << 1;
        QTest::newRow("last") << QStringList { "A", "B", "C" } << "C" << QStringList { "A", "B" } << 2;
        QTest::newRow("duplicateRemovesFirst") << QStringList { "A", "B", "A" } << "A" << QStringList { "B", "A" } << 0;
        QTest::newRow("neverAdded") << QStringList { "A", "B" } << "Z" << QStringList { "A", "B" } << -1;
        QTest::newRow("emptyModel") << QStringList {} << "Z" << QStringList {} << -1;
    }

    void remove()
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
        const QPointer<QObject> item(object(removed));

        model->remove(item);

        QCOMPARE(names(), expected);
        QCOMPARE(inserted.count() + reset.count(), 0);
        const QList<int> expectedRows = removedRow < 0 ? QList<int>() : QList<int> { removedRow };
        QCOMPARE(rows(aboutToRemove), expectedRows);
        QCOMPARE(rows(removedSpy), expectedRows);
        // Neither the removal nor the model's end deletes the item.
        model.reset();
        QVERIFY(!item.isNull());
    }

    // Every role yields the object; QML reaches it by the role name "item".
    void dataIgnoresRole()
    {
        QCOMPARE(model->roleNames(), (QHash<int, QByteArray> { { 257, QByteArrayLiteral("item") } }));
        model->append(object(QStringLiteral("A")));
        model->append(object(QStringLiteral("B")));
        for (const int role : { int(ObjectListModel::ItemRole), int(Qt::DisplayRole), -1 }) {
            const QVariant value = model->data(model->index(1), role);
            QCOMPARE(value.userType(), int(QMetaType::QObjectStar));
            QCOMPARE(value.value<QObject *>(), object(QStringLiteral("B")));
            QVERIFY(!model->data(QModelIndex(), role).isValid());
        }
    }
};

QTEST_GUILESS_MAIN(TestObjectListModel)
#include "tst_objectlistmodel.moc"
