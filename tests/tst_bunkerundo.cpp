#include "memerecord.h"
#include "startup.h"
#include "testfiles.h"

#include <QMap>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace TestFiles;

// A removed meme waits until its removal is confirmed: it can be put back as it was, a confirmed
// one goes to the desktop trash, and one that a crash or a quit left unconfirmed comes back.
class TestBunkerUndo : public QObject {
    Q_OBJECT

    QString bunkerDir() const { return dataPath + QStringLiteral("/bunker/"); }
    QString waitingDir() const { return dataPath + QStringLiteral("/bunker-removed/"); }
    QString trashDir() const
    {
        return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Trash");
    }
    QString iniPath() const { return dataPath + QStringLiteral("/settings/settings.ini"); }
    QVariant storedCounter() const
    {
        return QSettings(iniPath(), QSettings::IniFormat).value(QStringLiteral("global/memeCount"));
    }

    QMap<QString, QByteArray> filesIn(const QString &folder) const
    {
        QMap<QString, QByteArray> files;
        for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
            files.insert(name, read(folder + name));
        return files;
    }

    static QStringList keysListed(Bunker &bunker)
    {
        QStringList keys;
        for (const QJsonValue &meme : listed(bunker))
            keys << meme[QStringLiteral("uuid")].toString();
        return keys;
    }

    // Newest first, a second apart.
    const QStringList keys { QStringLiteral("1600000003-33333333-3333-4333-8333-333333333333"),
        QStringLiteral("1600000002-22222222-2222-4222-8222-222222222222"),
        QStringLiteral("1600000001-11111111-1111-4111-8111-111111111111") };
    QString dataPath;

private slots:
    void initTestCase()
    {
        Startup::setIdentity(*QCoreApplication::instance());
        dataPath = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QVERIFY(dataPath.endsWith(QStringLiteral("Jest Crate")));
    }

    void init()
    {
        for (const QString &folder : { bunkerDir(), waitingDir(), trashDir() }) {
            QFile::remove(QDir::cleanPath(folder));
            QVERIFY(QDir(folder).removeRecursively());
        }
        QSettings(iniPath(), QSettings::IniFormat).clear();
        for (const QString &key : keys) {
            QVERIFY(
                write(bunkerDir() + key + ".dat", MemeRecord { "meme " + key.left(10), "png", key, false }.toBytes()));
            QVERIFY(write(bunkerDir() + key + ".png", "picture of " + key.toLatin1()));
        }
    }

    // Gone for the listing and the counter from REMOVE on; back with its key and bytes on UNDO.
    void undoPutsMemeBack()
    {
        const QMap<QString, QByteArray> stored = filesIn(bunkerDir());
        Bunker bunker;
        const QString listing = bunker.load();
        QSignalSpy changed(&bunker, &Bunker::memeCountChanged);
        bunker.remove(keys[1]);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(bunker.getMemeCount(), QStringLiteral("2"));
        QCOMPARE(keysListed(bunker), QStringList({ keys[0], keys[2] }));

        changed.clear();
        QVERIFY(bunker.undoRemove(keys[1]));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(bunker.getMemeCount(), QStringLiteral("3"));
        QCOMPARE(filesIn(bunkerDir()), stored);
        QCOMPARE(bunker.load(), listing);
        QVERIFY(!bunker.undoRemove(keys[1]));
    }

    void confirmSendsFilesToTrash_data()
    {
        QTest::addColumn<bool>("trashUsable");
        QTest::newRow("trash") << true;
        // Qt then says it trashed the file, having moved it under the working directory.
        QTest::newRow("noTrashFolder") << false;
    }

    void confirmSendsFilesToTrash()
    {
        QFETCH(bool, trashUsable);
        const QMap<QString, QByteArray> stored = filesIn(bunkerDir());
        QTemporaryDir workingDir;
        const QString previousWorkingDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(workingDir.path()));
        if (!trashUsable) {
            QVERIFY(write(trashDir(), "a file where the trash folder belongs"));
            for (int file = 0; file < 2; ++file)
                QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Unable to establish trash directory"));
        }
        {
            Bunker bunker;
            bunker.remove(keys[1]);
            bunker.confirmRemove(keys[1]);
            QVERIFY(!bunker.undoRemove(keys[1]));
        }
        Bunker fresh;
        QDir::setCurrent(previousWorkingDir);
        QCOMPARE(keysListed(fresh), QStringList({ keys[0], keys[2] }));
        QCOMPARE(filesIn(waitingDir()), {});
        for (const QString &name : { keys[1] + ".dat", keys[1] + ".png" }) {
            QCOMPARE(read(trashDir() + "/files/" + name), trashUsable ? stored.value(name) : QByteArray());
            QCOMPARE(QFileInfo::exists(trashDir() + "/info/" + name + ".trashinfo"), trashUsable);
        }
        QCOMPARE(QDir(workingDir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }

    // A removal is quit or cut off at any point: what a fresh start lists, and what it counts.
    void startUpFinishesCutOffRemovals_data()
    {
        QTest::addColumn<QStringList>("waiting"); // moved to the waiting folder
        QTest::addColumn<QStringList>("alsoInBunker"); // moved, yet still in the bunker too
        QTest::addColumn<QStringList>("trashed");
        QTest::addColumn<bool>("listed");
        const QStringList none;
        QTest::newRow("recordTakenOut") << QStringList { "dat" } << none << none << true;
        QTest::newRow("bothTakenOut") << QStringList { "dat", "png" } << none << none << true;
        QTest::newRow("recordLinkedNotUnlinked")
            << QStringList { "dat", "png" } << QStringList { "dat" } << none << true;
        QTest::newRow("confirmedPictureTrashed") << QStringList { "dat" } << none << QStringList { "png" } << false;
    }

    void startUpFinishesCutOffRemovals()
    {
        QFETCH(QStringList, waiting);
        QFETCH(QStringList, alsoInBunker);
        QFETCH(QStringList, trashed);
        QFETCH(bool, listed);
        const QMap<QString, QByteArray> stored = filesIn(bunkerDir());
        QVERIFY(QDir().mkpath(waitingDir()));
        for (const QString &extension : waiting) {
            const QString name = keys[1] + '.' + extension;
            QVERIFY(write(waitingDir() + name, stored.value(name)));
            if (!alsoInBunker.contains(extension))
                QVERIFY(QFile::remove(bunkerDir() + name));
        }
        for (const QString &extension : trashed)
            QVERIFY(QFile::remove(bunkerDir() + keys[1] + '.' + extension));
        QSettings(iniPath(), QSettings::IniFormat).setValue("global/memeCount", 2);

        Bunker fresh;
        QCOMPARE(storedCounter(), QVariant(listed ? 3 : 2));
        QCOMPARE(keysListed(fresh), listed ? keys : QStringList({ keys[0], keys[2] }));
        QCOMPARE(filesIn(waitingDir()), {});
        if (listed)
            QCOMPARE(filesIn(bunkerDir()), stored);
        else
            QVERIFY(QFileInfo::exists(trashDir() + "/files/" + keys[1] + ".dat"));
    }

    // Closing the program is no confirmation.
    void quitBringsMemeBack()
    {
        const QMap<QString, QByteArray> stored = filesIn(bunkerDir());
        {
            Bunker bunker;
            bunker.load();
            bunker.remove(keys[1]);
        }
        QCOMPARE(filesIn(bunkerDir()), stored);
        QCOMPARE(storedCounter(), QVariant(3));
    }
};

QTEST_GUILESS_MAIN(TestBunkerUndo)
#include "tst_bunkerundo.moc"
