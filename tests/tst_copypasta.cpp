#include "objectlistmodel.h"
#include "testfiles.h"

#include <QTemporaryDir>

#include <climits>
#include <memory>

using namespace TestFiles;

namespace {
QStringList capturedLines;

// Collects the debug lines printed while it exists, in order.
class DebugCapture {
public:
    DebugCapture()
    {
        capturedLines.clear();
        previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
            if (type == QtDebugMsg)
                capturedLines << message;
        });
    }
    ~DebugCapture() { qInstallMessageHandler(previous); }
    QStringList lines() const { return capturedLines; }

private:
    QtMessageHandler previous;
};

// Every key of a compacted array of `count` entries, sorted.
QStringList keysFor(int count)
{
    QStringList keys { QStringLiteral("copypasta/copypastas/size") };
    for (int position = 1; position <= count; ++position)
        keys << QStringLiteral("copypasta/copypastas/%1/cptext").arg(position)
             << QStringLiteral("copypasta/copypastas/%1/title").arg(position);
    keys.sort();
    return keys;
}
} // namespace

class TestCopyPasta : public QObject {
    Q_OBJECT

    QTemporaryDir scratch;
    std::unique_ptr<ObjectListModel> model;

    // Writes the stored array through the service's own store object, as add() would leave it.
    void seed(const QList<StoredPasta> &entries)
    {
        QSettings &store = CopyPasta::store();
        store.clear();
        store.beginGroup(QStringLiteral("copypasta"));
        store.beginWriteArray(QStringLiteral("copypastas"), entries.size());
        for (int i = 0; i < entries.size(); ++i) {
            store.setArrayIndex(i);
            if (!entries.at(i).title.isNull())
                store.setValue(QStringLiteral("title"), entries.at(i).title);
            if (!entries.at(i).cptext.isNull())
                store.setValue(QStringLiteral("cptext"), entries.at(i).cptext);
        }
        store.endArray();
        store.endGroup();
        store.sync();
        reload();
    }

    void reload()
    {
        model = std::make_unique<ObjectListModel>();
        CopyPasta::loadInto(model.get());
    }

    QString storeCopy() { return freshCopy(CopyPasta::store().fileName(), scratch.path()); }
    QStringList storedKeys()
    {
        QStringList keys = QSettings(storeCopy(), QSettings::IniFormat).allKeys();
        keys.sort();
        return keys;
    }

    CopyPasta *modelItem(int row) const
    {
        return qobject_cast<CopyPasta *>(model->data(model->index(row), ObjectListModel::ItemRole).value<QObject *>());
    }

    // The model's rows, newest first, as "title=text".
    QStringList modelEntries() const
    {
        QStringList entries;
        for (int row = 0; row < model->rowCount(); ++row)
            entries << (modelItem(row) ? modelItem(row)->getTitle() + '=' + modelItem(row)->getCptext()
                                       : "<not a CopyPasta>");
        return entries;
    }

private slots:
    void init()
    {
        QVERIFY(scratch.isValid());
        CopyPasta::store().clear();
        CopyPasta::store().sync();
        reload();
    }

    void loadsFileWithMissingKeys()
    {
        // Written by hand, as an older version or an editor might leave it: the size claims five
        // entries; the first lacks its text, the second its title, the third both.
        replaceStoreFile("[copypasta]\n"
                         "copypastas\\1\\title=only title\n"
                         "copypastas\\2\\cptext=only text\n"
                         "copypastas\\4\\title=\"a, b\"\n"
                         "copypastas\\4\\cptext=line one\\nline two\n"
                         "copypastas\\5\\title=\\x65e5\\x672c\n"
                         "copypastas\\5\\cptext=\"x=y;z\"\n"
                         "copypastas\\size=5\n");
        DebugCapture capture;
        reload();
        QCOMPARE(modelEntries(),
            QStringList(
                { QString::fromUtf8("日本=x=y;z"), "a, b=line one\nline two", "=", "=only text", "only title=" }));
        // The start-up fill reports the newest entry.
        QCOMPARE(capture.lines(), QStringList { QString::fromUtf8("\"日本\" | \"x=y;z\"") });
    }

    void addAppendsStoredEntry()
    {
        seed({ { "P", "p" }, { "Q", "q" }, { "R", "r" } });
        QSignalSpy inserted(model.get(), &QAbstractItemModel::rowsInserted);
        QVERIFY(inserted.isValid());

        CopyPasta::add(QStringLiteral("T"), QStringLiteral("X"));

        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted.first().at(1).toInt(), 0);
        QCOMPARE(inserted.first().at(2).toInt(), 0);
        QCOMPARE(modelEntries(), QStringList({ "T=X", "R=r", "Q=q", "P=p" }));
        QCOMPARE(titlesOf(storedPastas(storeCopy())), QStringList({ "P", "Q", "R", "T" }));
        QCOMPARE(storedPastas(storeCopy()).at(3).cptext, QStringLiteral("X"));
        QCOMPARE(storedKeys(), keysFor(4));
    }

    void remove_data()
    {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<int>("itemRow"); // -1: an object not in the model, -2: no object
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("expectedStored");
        QTest::addColumn<QStringList>("expectedModel");

        const QStringList pqr { "P", "Q", "R" };
        QTest::newRow("middle") << pqr << 1 << 1 << QStringList { "P", "R" } << QStringList { "R", "P" };
        QTest::newRow("onlyOne") << QStringList { "P" } << 0 << 0 << QStringList {} << QStringList {};
        QTest::newRow("indexPastEnd") << pqr << 1 << 3 << pqr << QStringList { "R", "P" };
        QTest::newRow("indexNegative") << pqr << 1 << -1 << pqr << QStringList { "R", "P" };
        QTest::newRow("indexMaxInt") << pqr << 1 << INT_MAX << pqr << QStringList { "R", "P" };
        QTest::newRow("itemNotInModel") << pqr << -1 << 0 << QStringList { "P", "Q" } << QStringList { "R", "Q", "P" };
        QTest::newRow("noItem") << pqr << -2 << 1 << QStringList { "P", "R" } << QStringList { "R", "Q", "P" };
        QTest::newRow("itemAndIndexDisagree") << pqr << 0 << 2 << QStringList { "Q", "R" } << QStringList { "Q", "P" };
        QTest::newRow("emptyStore") << QStringList {} << -1 << 0 << QStringList {} << QStringList {};
    }

    void remove()
    {
        QFETCH(QStringList, stored);
        QFETCH(int, itemRow);
        QFETCH(int, index);
        QFETCH(QStringList, expectedStored);
        QFETCH(QStringList, expectedModel);

        QList<StoredPasta> entries;
        for (const QString &title : stored)
            entries << StoredPasta { title, title.toLower() };
        seed(entries);
        CopyPasta outsider;
        QObject *item = itemRow >= 0 ? modelItem(itemRow) : itemRow == -1 ? &outsider : nullptr;
        QPointer<QObject> guard(item);

        CopyPasta::remove(item, index);

        QStringList modelTitles;
        for (int row = 0; row < model->rowCount(); ++row)
            modelTitles << modelItem(row)->getTitle();
        QCOMPARE(modelTitles, expectedModel);
        // The model owns nothing: a removed item lives on.
        QCOMPARE(guard.isNull(), item == nullptr);
        const QList<StoredPasta> state = storedPastas(storeCopy());
        QCOMPARE(titlesOf(state), expectedStored);
        for (const StoredPasta &entry : state)
            QCOMPARE(entry.cptext, entry.title.toLower());
        // Compacted: no entry beyond the new size is left behind.
        QCOMPARE(storedKeys(), keysFor(expectedStored.size()));
    }

    // remove() prints every stored entry, then the new list and the keys; entries that lacked a
    // field are written back whole.
    void removeDebugLinesAndMissingFields()
    {
        seed({ { "A", QString() }, { QString(), "b" }, { "R", "r" } });
        DebugCapture capture;
        CopyPasta::remove(modelItem(0), 0);

        const char *const keyList = "(\"copypasta/copypastas/1/cptext\", \"copypasta/copypastas/1/title\", "
                                    "\"copypasta/copypastas/2/cptext\", \"copypasta/copypastas/2/title\", "
                                    "\"copypasta/copypastas/size\")";
        QCOMPARE(capture.lines(),
            QStringList({ "index  0  | title  QVariant(QString, \"A\")  | cptext  QVariant(Invalid)",
                "index  0  | title  QVariant(Invalid)  | cptext  QVariant(QString, \"b\")",
                "index  0  | title  QVariant(QString, \"R\")  | cptext  QVariant(QString, \"r\")", "NEW LIST: \"A\"",
                "NEW LIST: \"\"", keyList }));
        QCOMPARE(storedKeys(), keysFor(2));
        QCOMPARE(modelEntries(), QStringList({ "=b", "A=" }));
    }

    void textsSurvive_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("cptext");
        const auto add = [](const char *name, const QString &title, const QString &cptext) {
            QTest::newRow(name) << title << cptext;
        };
        add("lineBreaks", "two\nlines", "a\nb\r\nc\rd\n");
        add("quotesBackslashEqualsSemicolon", "\"quoted\" 'single' a=b;c, d", "C:\\path\\ \\n \\x41 say \"hi\"\";=,");
        add("iniSyntax", "[copypasta]", "#comment\n;comment\n[general]\ncopypastas\\size=9\n");
        add("atPrefix", "@Invalid()", "@ByteArray(abc) @Variant(\\0)");
        add("whitespace", "  padded  ", "\ttab\t ");
        add("nonLatinEmoji", QString::fromUtf8("Пример ÄÖÜ ß 中文 😂👌"),
            QString::fromUtf8("ελληνικά العربية 👨‍👩‍👧 🇩🇪"));
        add("controlCharacters", QString::fromUtf8("bell\x07 esc\x1b del\x7f"),
            QStringLiteral("nul") + QChar(0) + QStringLiteral("end"));
        add("empty", "", "");
    }

    // Through add(), the rewrite of remove() and a fresh start, with neighbours on both sides so that
    // escaping mistakes would spill into other entries.
    void textsSurvive()
    {
        QFETCH(QString, title);
        QFETCH(QString, cptext);
        const QString entry = title + '=' + cptext;
        CopyPasta::add(QStringLiteral("before"), QStringLiteral("1"));
        CopyPasta::add(title, cptext);
        CopyPasta::add(QStringLiteral("after"), QStringLiteral("3"));
        QCOMPARE(modelEntries().at(1), entry);
        QList<StoredPasta> state = storedPastas(storeCopy());
        QCOMPARE(state.size(), 3);
        QCOMPARE((state.at(1).title + '=' + state.at(1).cptext).toUtf8(), entry.toUtf8());
        QCOMPARE(state.at(2).title, QStringLiteral("after"));

        CopyPasta::remove(modelItem(2), 2);
        state = storedPastas(storeCopy());
        QCOMPARE(state.size(), 2);
        QCOMPARE((state.at(0).title + '=' + state.at(0).cptext).toUtf8(), entry.toUtf8());
        QCOMPARE(state.at(1).cptext, QStringLiteral("3"));

        replaceStoreFile(read(CopyPasta::store().fileName()));
        reload();
        QCOMPARE(modelEntries().join('|').toUtf8(), QStringList({ "after=3", entry }).join('|').toUtf8());
    }
};

QTEST_GUILESS_MAIN(TestCopyPasta)
#include "tst_copypasta.moc"
