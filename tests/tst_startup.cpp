#include <QDeadlineTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>

namespace {
constexpr int probeTimeoutMs = 60000;
} // namespace

// Starts the real start-up code (through the probe executable) on small test documents and
// watches it from outside: exit codes, signals, and what the documents report about themselves.
class TestStartup : public QObject {
    Q_OBJECT

    struct Run {
        bool finished = false;
        QProcess::ExitStatus status = QProcess::CrashExit;
        int exitCode = 0;
        QString output;

        bool exitedWith(int code) const { return finished && status == QProcess::NormalExit && exitCode == code; }

        // The text after "PROBE key=" on the line a document printed; a null string when absent.
        QString probeValue(const QString &key) const
        {
            const QString marker = QStringLiteral("PROBE ") + key + QLatin1Char('=');
            const int start = output.indexOf(marker);
            if (start < 0)
                return QString();
            const int end = output.indexOf(QLatin1Char('\n'), start);
            return output.mid(start + marker.size(), end < 0 ? -1 : end - start - marker.size());
        }
    };

    static QString documentUrl(const QString &name)
    {
        return QUrl::fromLocalFile(QStringLiteral(PROBE_DOCUMENTS "/") + name).toString();
    }

    QString defaultStorePath() const { return home->filePath(QStringLiteral("config/jestcrate.app/Jest Crate.conf")); }
    QString copypastaStorePath() const { return home->filePath(QStringLiteral("data/settings/settings.ini")); }

    static QByteArray readAll(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void configure(QProcess &process, const QString &platform) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home->path());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home->filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home->filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), home->filePath(QStringLiteral("cache")));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
        // Messages must reach our pipe, and nothing from outside may choose the style.
        environment.insert(QStringLiteral("QT_FORCE_STDERR_LOGGING"), QStringLiteral("1"));
        environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("default.debug=true;qml.debug=true"));
        environment.remove(QStringLiteral("QT_QUICK_CONTROLS_STYLE"));
        environment.remove(QStringLiteral("QT_QUICK_CONTROLS_CONF"));
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setProgram(QStringLiteral(STARTUP_PROBE));
    }

    Run runProbe(const QString &document, const QString &platform = QStringLiteral("offscreen"))
    {
        QProcess process;
        configure(process, platform);
        process.setArguments({ document });
        process.start();
        Run run;
        run.finished = process.waitForStarted(probeTimeoutMs) && process.waitForFinished(probeTimeoutMs);
        if (!run.finished) {
            process.kill();
            process.waitForFinished();
        }
        run.status = process.exitStatus();
        run.exitCode = process.exitCode();
        run.output = QString::fromUtf8(process.readAll());
        return run;
    }

    std::unique_ptr<QTemporaryDir> home;

private slots:
    void init()
    {
        // Every probe starts as a fresh installation in a home of its own.
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(home->isValid());
    }

    void documentWithoutRoot_data()
    {
        QTest::addColumn<QString>("document");
        QTest::newRow("syntaxError") << documentUrl(QStringLiteral("broken.qml"));
        QTest::newRow("unknownType") << documentUrl(QStringLiteral("unknowntype.qml"));
        QTest::newRow("missingFile") << documentUrl(QStringLiteral("no-such-document.qml"));
        QTest::newRow("qrcPathOutsideResources") << QStringLiteral("qrc:/no-such-document.qml");
    }

    // Had the event loop been entered, nothing would ever end it and the probe would hang.
    void documentWithoutRoot()
    {
        QFETCH(QString, document);
        const Run run = runProbe(document);
        QVERIFY2(run.exitedWith(255), qPrintable(run.output)); // -1 as seen by the parent
        QVERIFY2(!run.output.contains(QStringLiteral("PROBE")), qPrintable(run.output));
    }

    void copypastasReadyBeforeDocument_data()
    {
        QTest::addColumn<QStringList>("stored"); // oldest first
        QTest::addColumn<QString>("created");
        QTest::addColumn<QString>("afterAdd");
        QTest::addColumn<QString>("fillLine"); // the start-up fill reports the newest entry
        const QString three = QString::fromUtf8("\"newest\",\"mïddle \\\"quoted\\\"\",\"oldest\"]");
        QTest::newRow("firstStart") << QStringList() << "[]"
                                    << "[\"from QML\"]"
                                    << "\"\" | \"\"";
        QTest::newRow("threeStored") << QStringList { "oldest", QString::fromUtf8("mïddle \"quoted\""), "newest" }
                                     << "[" + three << "[\"from QML\"," + three << "\"newest\" | \"text 2\"";
    }

    // The model holds the stored copypastas while the document is created, and the service knows it.
    void copypastasReadyBeforeDocument()
    {
        QFETCH(QStringList, stored);
        QFETCH(QString, created);
        QFETCH(QString, afterAdd);
        QFETCH(QString, fillLine);
        if (!stored.isEmpty()) {
            QSettings settings(copypastaStorePath(), QSettings::IniFormat);
            settings.beginWriteArray(QStringLiteral("copypasta/copypastas"));
            for (int i = 0; i < stored.size(); ++i) {
                settings.setArrayIndex(i);
                settings.setValue(QStringLiteral("title"), stored.at(i));
                settings.setValue(QStringLiteral("cptext"), QStringLiteral("text %1").arg(i));
            }
            settings.endArray();
        }

        const Run run = runProbe(documentUrl(QStringLiteral("model.qml")));

        QVERIFY2(run.exitedWith(0), qPrintable(run.output));
        QCOMPARE(run.probeValue(QStringLiteral("created")), created);
        QCOMPARE(run.probeValue(QStringLiteral("afterAdd")), afterAdd);
        QVERIFY2(run.output.contains(fillLine), qPrintable(run.output));
        QSettings written(copypastaStorePath(), QSettings::IniFormat);
        QCOMPARE(written.value(QStringLiteral("copypasta/copypastas/size")).toInt(), stored.size() + 1);
        QCOMPARE(written.value(QStringLiteral("copypasta/copypastas/%1/title").arg(stored.size() + 1)).toString(),
            QStringLiteral("from QML"));
    }

    void styleSelection_data()
    {
        QTest::addColumn<QVariant>("storedTheme"); // invalid: nothing stored; a byte array: the whole file
        QTest::addColumn<QString>("expectedName");
        QTest::addColumn<QString>("expectedFolder"); // where the Button implementation comes from

        // Names Qt does not know fall back to its basic style, whose files sit in Controls.2 itself.
        const QString basic = QStringLiteral("Controls.2");
        QByteArray garbage(32768, Qt::Uninitialized);
        QRandomGenerator generator(7);
        for (char &byte : garbage)
            byte = char(generator.bounded(256));
        QTest::newRow("firstStart") << QVariant() << "Material"
                                    << "Material";
        QTest::newRow("Universal") << QVariant("Universal") << "Universal"
                                   << "Universal";
        QTest::newRow("Classic") << QVariant("Classic") << "Classic" << basic;
        QTest::newRow("unknownName") << QVariant("Comic Sans") << "Comic Sans" << basic;
        QTest::newRow("number") << QVariant(42) << "42" << basic;
        // Both stores unreadable: start-up goes on with the default and leaves them alone.
        QTest::newRow("garbageStores") << QVariant(garbage) << "Material"
                                       << "Material";
    }

    // Start-up only reads the stores; it never rewrites them.
    void styleSelection()
    {
        QFETCH(QVariant, storedTheme);
        QFETCH(QString, expectedName);
        QFETCH(QString, expectedFolder);
        if (storedTheme.type() == QVariant::ByteArray) {
            for (const QString &path : { defaultStorePath(), copypastaStorePath() }) {
                QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
                QFile file(path);
                QVERIFY(file.open(QIODevice::WriteOnly) && file.write(storedTheme.toByteArray()) > 0);
            }
        } else if (storedTheme.isValid()) {
            QSettings(defaultStorePath(), QSettings::IniFormat).setValue(QStringLiteral("global/theme"), storedTheme);
        }
        const QByteArray before = readAll(defaultStorePath());
        const QByteArray copypastasBefore = readAll(copypastaStorePath());

        const Run run = runProbe(documentUrl(QStringLiteral("style.qml")));

        QVERIFY2(run.exitedWith(0), qPrintable(run.output));
        QCOMPARE(run.probeValue(QStringLiteral("style")), expectedName);
        const QString source = QUrl(run.probeValue(QStringLiteral("source"))).toLocalFile();
        QCOMPARE(QFileInfo(source).dir().dirName(), expectedFolder);
        QCOMPARE(readAll(defaultStorePath()), before);
        QCOMPARE(readAll(copypastaStorePath()), copypastasBefore);
    }

    void signalEndsEventLoop_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }

    void signalEndsEventLoop()
    {
        QFETCH(int, signalNumber);
        QProcess process;
        configure(process, QStringLiteral("offscreen"));
        process.setArguments({ documentUrl(QStringLiteral("ready.qml")) });
        process.start();
        QVERIFY(process.waitForStarted(probeTimeoutMs));

        QByteArray output;
        const QDeadlineTimer deadline(probeTimeoutMs);
        while (!output.contains("PROBE ready") && !deadline.hasExpired()
            && process.waitForReadyRead(int(deadline.remainingTime())))
            output += process.readAll();
        QVERIFY2(output.contains("PROBE ready"), output.constData());

        QCOMPARE(::kill(pid_t(process.processId()), signalNumber), 0);
        const bool finished = process.waitForFinished(probeTimeoutMs);
        if (!finished)
            process.kill();
        QVERIFY(finished);
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
    }

    // A signal that comes while the document still loads ends the event loop as soon as it runs.
    void signalWhileLoading()
    {
        const Run run = runProbe(documentUrl(QStringLiteral("signalwhileloading.qml")));
        QVERIFY2(run.exitedWith(0) && run.output.contains(QStringLiteral("PROBE raised")), qPrintable(run.output));
    }

    void windowShownOnFirstStart()
    {
        // The offscreen platform cannot draw a window, so this needs the X server of xvfb-run.
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X display (run under xvfb-run)");
        const Run run = runProbe(documentUrl(QStringLiteral("window.qml")), QStringLiteral("xcb"));
        QVERIFY2(run.exitedWith(0), qPrintable(run.output));
        QCOMPARE(run.probeValue(QStringLiteral("shown")), QStringLiteral("Material rows=0"));
    }

    // On the desktop every ShareManager starts with the desktop's share facility attached.
    void desktopShareAttached()
    {
        const Run run = runProbe(documentUrl(QStringLiteral("share.qml")));
        QVERIFY2(run.exitedWith(0), qPrintable(run.output));
        QCOMPARE(run.probeValue(QStringLiteral("desktop")), QStringLiteral("true"));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
