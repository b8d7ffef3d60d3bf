#include "startup.h"
#include "testfiles.h"

#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

// Starts the real start-up code (through the probe executable) on a test document and watches it
// from outside: the exit code, and what the document reports about itself.
class TestStartup : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home;

    QString storePath(const QString &name) const { return home->filePath(name); }

    // The probe's exit code, or -2 when it crashed or hung; its output goes to `output`.
    int runProbe(const QString &document, QString &output) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home->path());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home->filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home->filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), home->filePath(QStringLiteral("cache")));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // Messages must reach our pipe, and nothing from outside may choose the style.
        environment.insert(QStringLiteral("QT_FORCE_STDERR_LOGGING"), QStringLiteral("1"));
        environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("default.debug=true;qml.debug=true"));
        environment.remove(QStringLiteral("QT_QUICK_CONTROLS_STYLE"));
        environment.remove(QStringLiteral("QT_QUICK_CONTROLS_CONF"));
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(STARTUP_PROBE), { document });
        const bool finished = process.waitForFinished(60000);
        if (!finished) {
            process.kill();
            process.waitForFinished();
        }
        output = QString::fromUtf8(process.readAll());
        return finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    }

    // The text after "PROBE key=" on the line the document printed.
    static QString probeValue(const QString &output, const QString &key)
    {
        const QRegularExpression line(QStringLiteral("PROBE ") + key + QStringLiteral("=(.*)\n"));
        return line.match(output).captured(1);
    }

private slots:
    void initTestCase()
    {
        // Without the runner's private folders the lock tests would touch a real user's settings.
        if (!qEnvironmentVariable("HOME").startsWith(QDir::tempPath()))
            QFAIL("run through tests/support/isolated.sh");
        Startup::setIdentity(*QCoreApplication::instance());
    }

    void init()
    {
        // Every probe starts as a fresh installation in a home of its own.
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(home->isValid());
    }

    // Had the event loop been entered, nothing would ever end it and the probe would hang.
    void documentWithoutRoot()
    {
        QString output;
        QCOMPARE(runProbe(QStringLiteral("qrc:/no-such-document.qml"), output), 255); // -1 as seen by the parent
    }

    void startup_data()
    {
        QTest::addColumn<QString>("storedTheme");
        QTest::addColumn<QStringList>("stored"); // oldest first
        QTest::addColumn<QString>("style"); // the folder the Button implementation comes from
        QTest::addColumn<QString>("created");
        QTest::newRow("firstStart") << QString() << QStringList() << "Material"
                                    << "[]";
        QTest::newRow("stored") << "Universal" << QStringList { "oldest", QString::fromUtf8("mïddle"), "newest" }
                                << "Universal" << QString::fromUtf8("[\"newest\",\"mïddle\",\"oldest\"]");
    }

    // The style is chosen, the copypastas are in the model and the desktop share is attached before
    // the document is created, and a signal that comes while it loads ends the program normally.
    void startup()
    {
        QFETCH(QString, storedTheme);
        QFETCH(QStringList, stored);
        QFETCH(QString, style);
        QFETCH(QString, created);
        if (!storedTheme.isEmpty())
            QSettings(storePath(QStringLiteral("config/jestcrate.app/Jest Crate.conf")), QSettings::IniFormat)
                .setValue(QStringLiteral("global/theme"), storedTheme);
        if (!stored.isEmpty()) {
            QSettings copypastas(storePath(QStringLiteral("data/settings/settings.ini")), QSettings::IniFormat);
            copypastas.beginWriteArray(QStringLiteral("copypasta/copypastas"));
            for (int i = 0; i < stored.size(); ++i) {
                copypastas.setArrayIndex(i);
                copypastas.setValue(QStringLiteral("title"), stored.at(i));
                copypastas.setValue(QStringLiteral("cptext"), QStringLiteral("text %1").arg(i));
            }
            copypastas.endArray();
        }

        QString output;
        const QString document = QUrl::fromLocalFile(QStringLiteral(PROBE_DOCUMENTS "/startup.qml")).toString();
        QVERIFY2(runProbe(document, output) == 0, qPrintable(output));
        QCOMPARE(probeValue(output, QStringLiteral("style")), style);
        QCOMPARE(QFileInfo(QUrl(probeValue(output, QStringLiteral("source"))).toLocalFile()).dir().dirName(), style);
        QCOMPARE(probeValue(output, QStringLiteral("created")), created);
        QCOMPARE(probeValue(output, QStringLiteral("desktop")), QStringLiteral("true"));
        QVERIFY(probeValue(output, QStringLiteral("afterAdd")).startsWith(QStringLiteral("[\"from QML\"")));
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

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
