#include "objectlistmodel.h"
#include "startup.h"
#include "testfiles.h"

#include <QDirIterator>
#include <QLockFile>

// Proves where each of the three settings stores lives by watching which files appear in the
// temporary data and config folders that the test runner provides.
class TestSettingsStores : public QObject {
    Q_OBJECT

    static QStringList filesUnder(const QString &root)
    {
        QStringList files;
        QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << QDir(root).relativeFilePath(it.next());
        files.sort();
        return files;
    }

    QString dataHome;
    QString configHome;

private slots:
    void initTestCase()
    {
        dataHome = qEnvironmentVariable("XDG_DATA_HOME");
        configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
        // Without the runner's private folders this test would write into a real user's settings.
        if (dataHome.isEmpty() || configHome.isEmpty() || !qEnvironmentVariable("HOME").startsWith(QDir::tempPath()))
            QFAIL("run through tests/support/isolated.sh");
        Startup::setIdentity(*QCoreApplication::instance());
    }

    void init()
    {
        for (const QString &root : { dataHome, configHome }) {
            QDir dir(root);
            QVERIFY(dir.removeRecursively());
            QVERIFY(dir.mkpath(QStringLiteral(".")));
        }
        // The copypasta store object outlives every test; with its file gone it forgets the entries.
        CopyPasta::store().sync();
    }

    void freshInstallReadsDefaults()
    {
        {
            QSettings defaults;
            QVERIFY(defaults.allKeys().isEmpty());
            Bunker bunker;
            QCOMPARE(bunker.getMemeCount(), QStringLiteral("0"));
            ObjectListModel model;
            CopyPasta::loadInto(&model);
            QCOMPARE(model.rowCount(), 0);
        }
        // Reading defaults must not leave files behind.
        QCOMPARE(filesUnder(dataHome), QStringList());
        QCOMPARE(filesUnder(configHome), QStringList());
    }

    void defaultStore()
    {
        const QString expected = configHome + QStringLiteral("/jestcrate.app/Jest Crate.conf");
        {
            QSettings settings;
            QCOMPARE(settings.fileName(), expected);
            settings.setValue(QStringLiteral("global/theme"), QStringLiteral("Universal"));
            settings.setValue(QStringLiteral("trending/number"), 50);
        }
        QCOMPARE(filesUnder(configHome), QStringList { QStringLiteral("jestcrate.app/Jest Crate.conf") });
        QCOMPARE(filesUnder(dataHome), QStringList());
        const QByteArray text = TestFiles::read(expected);
        QVERIFY2(text.contains("[global]\ntheme=Universal\n"), text.constData());
        QVERIFY2(text.contains("[trending]\nnumber=50\n"), text.constData());
    }

    // The bunker file lies under the application data folder; the copypasta file, opened before the
    // application had its names, directly under the data root. Neither holds the other's keys.
    void bunkerAndCopypastaFiles()
    {
        const QString copypastaFile = dataHome + QStringLiteral("/settings/settings.ini");
        QCOMPARE(CopyPasta::store().fileName(), copypastaFile);
        ObjectListModel model;
        CopyPasta::loadInto(&model);
        CopyPasta::add(QStringLiteral("title"), QStringLiteral("text"));
        {
            Bunker bunker;
            QCOMPARE(bunker.load(), QStringLiteral("[]"));
        }

        QCOMPARE(filesUnder(dataHome),
            (QStringList {
                QStringLiteral("Jest Crate/settings/settings.ini"), QStringLiteral("settings/settings.ini") }));
        QCOMPARE(filesUnder(configHome), QStringList());
        const QByteArray bunkerText = TestFiles::read(dataHome + QStringLiteral("/Jest Crate/settings/settings.ini"));
        QVERIFY2(bunkerText.contains("[global]\nmemeCount=0\n"), bunkerText.constData());
        QVERIFY2(!bunkerText.contains("copypasta"), bunkerText.constData());
        const QByteArray text = TestFiles::read(copypastaFile);
        QVERIFY2(text.contains("[copypasta]\n"), text.constData());
        QVERIFY2(text.contains("copypastas\\1\\title=title\n"), text.constData());
        QVERIFY2(!text.contains("memeCount"), text.constData());
    }

    void orphanedLocks_data()
    {
        QTest::addColumn<int>("store");
        QTest::addColumn<bool>("owned");
        const char *const names[] = { "default", "bunker", "copypasta" };
        for (int store = 0; store < 3; ++store) {
            QTest::addRow("%sEmpty", names[store]) << store << false;
            QTest::addRow("%sOwnedByLiveProcess", names[store]) << store << true;
        }
    }

    // An empty lock left by a killed process would hold every write of the store up for 30 s; a
    // lock whose owner runs must stay, or two processes would write the store at once.
    void orphanedLocks()
    {
        QFETCH(int, store);
        QFETCH(bool, owned);
        const QString lockPath
            = QStringList { QSettings().fileName(), Bunker::settingsPath(), CopyPasta::store().fileName() }.at(store)
            + QStringLiteral(".lock");
        QVERIFY(QDir().mkpath(QFileInfo(lockPath).absolutePath()));
        QLockFile owner(lockPath);
        if (owned)
            QVERIFY(owner.tryLock(0));
        else
            QVERIFY(TestFiles::write(lockPath, QByteArray()));

        Startup::releaseOrphanedLocks();
        QCOMPARE(QFileInfo::exists(lockPath), owned);
        QLockFile writer(lockPath);
        QCOMPARE(writer.tryLock(0), !owned);
    }
};

QTEST_MAIN(TestSettingsStores)
#include "tst_settingsstores.moc"
