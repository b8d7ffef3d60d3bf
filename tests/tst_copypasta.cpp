#include "copypasta.h"
#include "objectlistmodel.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <climits>
#include <memory>

namespace {
struct Entry {
    QString title;
    QString cptext;
};

// What a fresh parse of the file on disk says: the array size, the entries and every key.
struct StoredState {
    int size = 0;
    QList<Entry> entries;
    QStringList keys;
};

QStringList capturedLines;

void captureDebug(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg)
        capturedLines << message;
}

// Collects the debug lines printed while it exists, in order.
class DebugCapture {
public:
    DebugCapture()
    {
        capturedLines.clear();
        previous = qInstallMessageHandler(captureDebug);
    }
    ~DebugCapture() { qInstallMessageHandler(previous); }
    QStringList lines() const { return capturedLines; }

private:
    QtMessageHandler previous;
};

QStringList titlesOf(const QList<Entry> &entries)
{
    QStringList titles;
    for (const Entry &entry : entries)
        titles << entry.title;
    return titles;
}

QStringList keysFor(int count)
{
    QStringList keys;
    for (int position = 1; position <= count; ++position) {
        keys << QStringLiteral("copypasta/copypastas/%1/cptext").arg(position)
             << QStringLiteral("copypasta/copypastas/%1/title").arg(position);
    }
    keys << QStringLiteral("copypasta/copypastas/size");
    keys.sort();
    return keys;
}
} // namespace

class TestCopyPasta : public QObject {
    Q_OBJECT

    QTemporaryDir scratch;
    int copies = 0;
    int reparses = 0;
    std::unique_ptr<ObjectListModel> model;

private slots:
    void init()
    {
        QVERIFY(scratch.isValid());
        QSettings &store = CopyPasta::store();
        store.clear();
        store.sync();
        reload();
    }

private:
    // Writes the stored array through the service's own store object, as add() would leave it.
    void seed(const QList<Entry> &entries)
    {
        QSettings &store = CopyPasta::store();
        store.clear();
        store.beginGroup(QStringLiteral("copypasta"));
        store.beginWriteArray(QStringLiteral("copypastas"), entries.size());
        for (int i = 0; i < entries.size(); ++i) {
            store.setArrayIndex(i);
            store.setValue(QStringLiteral("title"), entries.at(i).title);
            store.setValue(QStringLiteral("cptext"), entries.at(i).cptext);
        }
        store.endArray();
        store.endGroup();
        store.sync();
        reload();
    }

    // Replaces the file under the store object, as another program or a damaged disk might.
    void writeStoreFile(const QByteArray &bytes)
    {
        const QString path = CopyPasta::store().fileName();
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), qint64(bytes.size()));
    }

    // The store object keeps what it last read; a new modification time makes its next sync()
    // parse the file on disk again, as a fresh start of the program would.
    void reparseStore()
    {
        const QString path = CopyPasta::store().fileName();
        QFile file(path);
        if (file.exists()) {
            QVERIFY(file.open(QIODevice::ReadWrite));
            const QDateTime stamp = QDateTime::currentDateTime().addSecs(-3600 - ++reparses);
            QVERIFY(file.setFileTime(stamp, QFileDevice::FileModificationTime));
        }
        CopyPasta::store().sync();
    }

    void reload()
    {
        model = std::make_unique<ObjectListModel>();
        CopyPasta::loadInto(model.get());
    }

    // QSettings shares one parsed copy per file name inside a process, so reading the same path again
    // would only show the cache; a copy under a new name is parsed from the bytes on disk.
    StoredState readBack()
    {
        StoredState state;
        const QString copy = scratch.filePath(QStringLiteral("copy%1.ini").arg(++copies));
        if (!QFile::copy(CopyPasta::store().fileName(), copy))
            return state;
        QSettings settings(copy, QSettings::IniFormat);
        state.keys = settings.allKeys();
        state.keys.sort();
        settings.beginGroup(QStringLiteral("copypasta"));
        state.size = settings.beginReadArray(QStringLiteral("copypastas"));
        for (int i = 0; i < state.size; ++i) {
            settings.setArrayIndex(i);
            state.entries << Entry { settings.value(QStringLiteral("title")).toString(),
                settings.value(QStringLiteral("cptext")).toString() };
        }
        settings.endArray();
        settings.endGroup();
        return state;
    }

    CopyPasta *modelItem(int row) const
    {
        return qobject_cast<CopyPasta *>(model->data(model->index(row), ObjectListModel::ItemRole).value<QObject *>());
    }

    QList<Entry> modelEntries() const
    {
        QList<Entry> entries;
        for (int row = 0; row < model->rowCount(); ++row) {
            const CopyPasta *item = modelItem(row);
            entries << (item ? Entry { item->getTitle(), item->getCptext() }
                             : Entry { QStringLiteral("<not a CopyPasta>"), {} });
        }
        return entries;
    }

private slots:
    void loadsFileWithMissingKeys()
    {
        // Written by hand, as an older version or an editor might leave it: the size claims five
        // entries; the first lacks its text, the second its title, the third both.
        writeStoreFile("[copypasta]\n"
                       "copypastas\\1\\title=only title\n"
                       "copypastas\\2\\cptext=only text\n"
                       "copypastas\\4\\title=\"a, b\"\n"
                       "copypastas\\4\\cptext=line one\\nline two\n"
                       "copypastas\\5\\title=\\x65e5\\x672c\n"
                       "copypastas\\5\\cptext=\"x=y;z\"\n"
                       "copypastas\\size=5\n");
        reparseStore();
        DebugCapture capture;
        reload();

        const QList<Entry> entries = modelEntries();
        QCOMPARE(titlesOf(entries), (QStringList { QString::fromUtf8("日本"), "a, b", "", "", "only title" }));
        QCOMPARE(entries.at(0).cptext, QStringLiteral("x=y;z"));
        QCOMPARE(entries.at(1).cptext, QStringLiteral("line one\nline two"));
        QCOMPARE(entries.at(2).cptext, QString());
        QCOMPARE(entries.at(3).cptext, QStringLiteral("only text"));
        QCOMPARE(entries.at(4).cptext, QString());
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
        QCOMPARE(titlesOf(modelEntries()), (QStringList { "T", "R", "Q", "P" }));
        QCOMPARE(modelItem(0)->getCptext(), QStringLiteral("X"));

        const StoredState stored = readBack();
        QCOMPARE(stored.size, 4);
        QCOMPARE(titlesOf(stored.entries), (QStringList { "P", "Q", "R", "T" }));
        QCOMPARE(stored.entries.at(3).cptext, QStringLiteral("X"));
        QCOMPARE(stored.keys, keysFor(4));
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

        QList<Entry> entries;
        for (const QString &title : stored)
            entries << Entry { title, title.toLower() };
        seed(entries);
        CopyPasta outsider;
        QObject *item = itemRow >= 0 ? modelItem(itemRow) : itemRow == -1 ? &outsider : nullptr;
        QPointer<QObject> guard(item);

        CopyPasta::remove(item, index);

        QCOMPARE(titlesOf(modelEntries()), expectedModel);
        if (item)
            QVERIFY(!guard.isNull());
        const StoredState state = readBack();
        QCOMPARE(state.size, expectedStored.size());
        QCOMPARE(titlesOf(state.entries), expectedStored);
        for (const Entry &entry : state.entries)
            QCOMPARE(entry.cptext, entry.title.toLower());
        // Compacted: no entry beyond the new size is left behind.
        QCOMPARE(state.keys, keysFor(expectedStored.size()));
    }

    void removeDebugLines()
    {
        seed({ { "P", "p" }, { "Q", "q" }, { "R", "r" } });
        DebugCapture capture;
        CopyPasta::remove(modelItem(1), 1);

        const QStringList expected {
            QStringLiteral("index  1  | title  QVariant(QString, \"P\")  | cptext  QVariant(QString, \"p\")"),
            QStringLiteral("index  1  | title  QVariant(QString, \"Q\")  | cptext  QVariant(QString, \"q\")"),
            QStringLiteral("index  1  | title  QVariant(QString, \"R\")  | cptext  QVariant(QString, \"r\")"),
            QStringLiteral("NEW LIST: \"P\""),
            QStringLiteral("NEW LIST: \"R\""),
            QStringLiteral("(\"copypasta/copypastas/1/cptext\", \"copypasta/copypastas/1/title\", "
                           "\"copypasta/copypastas/2/cptext\", \"copypasta/copypastas/2/title\", "
                           "\"copypasta/copypastas/size\")"),
        };
        QCOMPARE(capture.lines(), expected);
    }

    void removeWritesMissingFieldsBack()
    {
        QSettings &store = CopyPasta::store();
        store.setValue(QStringLiteral("copypasta/copypastas/size"), 2);
        store.setValue(QStringLiteral("copypasta/copypastas/1/title"), QStringLiteral("A"));
        store.setValue(QStringLiteral("copypasta/copypastas/2/cptext"), QStringLiteral("b"));
        store.sync();
        reload();

        DebugCapture capture;
        CopyPasta::remove(nullptr, -1);

        QCOMPARE(capture.lines().mid(0, 2),
            (QStringList { QStringLiteral("index  -1  | title  QVariant(QString, \"A\")  | cptext  QVariant(Invalid)"),
                QStringLiteral("index  -1  | title  QVariant(Invalid)  | cptext  QVariant(QString, \"b\")") }));
        const StoredState state = readBack();
        QCOMPARE(state.keys, keysFor(2));
        QCOMPARE(state.entries.at(0).title, QStringLiteral("A"));
        QCOMPARE(state.entries.at(0).cptext, QString());
        QCOMPARE(state.entries.at(1).title, QString());
        QCOMPARE(state.entries.at(1).cptext, QStringLiteral("b"));
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

    void textsSurvive()
    {
        QFETCH(QString, title);
        QFETCH(QString, cptext);

        // Neighbours on both sides, so that escaping mistakes would spill into other entries.
        CopyPasta::add(QStringLiteral("before"), QStringLiteral("1"));
        CopyPasta::add(title, cptext);
        CopyPasta::add(QStringLiteral("after"), QStringLiteral("3"));
        QCOMPARE(modelItem(1)->getTitle(), title);
        QCOMPARE(modelItem(1)->getCptext(), cptext);

        StoredState state = readBack();
        QCOMPARE(state.size, 3);
        QCOMPARE(state.entries.at(1).title.toUtf8(), title.toUtf8());
        QCOMPARE(state.entries.at(1).cptext.toUtf8(), cptext.toUtf8());
        QCOMPARE(state.entries.at(2).title, QStringLiteral("after"));

        // remove() reads every entry back and rewrites the whole array.
        CopyPasta::remove(modelItem(2), 2);
        state = readBack();
        QCOMPARE(state.size, 2);
        QCOMPARE(state.entries.at(0).title.toUtf8(), title.toUtf8());
        QCOMPARE(state.entries.at(0).cptext.toUtf8(), cptext.toUtf8());
        QCOMPARE(state.entries.at(1).cptext, QStringLiteral("3"));

        reparseStore();
        reload();
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(modelItem(1)->getTitle().toUtf8(), title.toUtf8());
        QCOMPARE(modelItem(1)->getCptext().toUtf8(), cptext.toUtf8());
        QCOMPARE(modelItem(0)->getTitle(), QStringLiteral("after"));
    }

    void toClipboard_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("multiline") << "first line\nsecond line\n";
        QTest::newRow("nonLatin") << QString::fromUtf8("日本語 😂");
    }

    void toClipboard()
    {
        QFETCH(QString, text);
        QClipboard *clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("something else"));

        CopyPasta::toClipboard(text);

        QCOMPARE(clipboard->text(QClipboard::Clipboard), text);
    }

    void garbageFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");

        QByteArray random(65536, Qt::Uninitialized);
        QRandomGenerator generator(20240611);
        for (char &byte : random)
            byte = char(generator.bounded(256));
        QTest::newRow("randomBytes") << random;
        QTest::newRow("unclosedSection") << QByteArray("[copypasta\ncopypastas\\size=2\ncopypastas\\1\\title=\"x\n");
        QTest::newRow("badEscapes") << QByteArray("[copypasta]\ncopypastas\\size=1\ncopypastas\\1\\title=\\x\\xd83d\\\n"
                                                  "copypastas\\1\\cptext=@Variant(\\0\\0\\0\x7f\\xff)\n");
        QTest::newRow("negativeSize") << QByteArray("[copypasta]\ncopypastas\\size=-5\n");
    }

    void garbageFile()
    {
        QFETCH(QByteArray, bytes);
        writeStoreFile(bytes);
        reparseStore();

        reload();
        const int loaded = model->rowCount();
        QVERIFY(loaded >= 0);

        CopyPasta::add(QStringLiteral("added"), QStringLiteral("after garbage"));
        QCOMPARE(model->rowCount(), loaded + 1);
        QCOMPARE(modelItem(0)->getTitle(), QStringLiteral("added"));
        StoredState state = readBack();
        QVERIFY(state.size >= 1);
        QCOMPARE(titlesOf(state.entries).last(), QStringLiteral("added"));

        CopyPasta::remove(modelItem(0), 0);
        QCOMPARE(model->rowCount(), loaded);
        state = readBack();
        QVERIFY(!titlesOf(state.entries).contains(QStringLiteral("added")));
    }
};

QTEST_MAIN(TestCopyPasta)
#include "tst_copypasta.moc"
