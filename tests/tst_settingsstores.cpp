#include "startup.h"
#include "testfiles.h"

#include <QLockFile>

class TestSettingsStores : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Without the runner's private folders this test would write into a real user's settings.
        if (!qEnvironmentVariable("HOME").startsWith(QDir::tempPath()))
            QFAIL("run through tests/support/isolated.sh");
        Startup::setIdentity(*QCoreApplication::instance());
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
        QLockFile owner(lockPath);
        QVERIFY(owned ? owner.tryLock(0) : TestFiles::write(lockPath, QByteArray()));
        Startup::releaseOrphanedLocks();
        QCOMPARE(QFileInfo::exists(lockPath), owned);
        QCOMPARE(QLockFile(lockPath).tryLock(0), !owned);
    }
};

QTEST_MAIN(TestSettingsStores)
#include "tst_settingsstores.moc"
