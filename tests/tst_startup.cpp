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
    };

    std::unique_ptr<QTemporaryDir> home;

private slots:
    void init()
    {
        // Every probe starts as a fresh installation in a home of its own.
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(home->isValid());
    }

private:
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

    static void writeAll(const QString &path, const QByteArray &bytes)
    {
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), qint64(bytes.size()));
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

    // The text after "PROBE key=" on the line a document printed; a null string when absent.
    static QString probeValue(const QString &output, const QString &key)
    {
        const QString marker = QStringLiteral("PROBE ") + key + QLatin1Char('=');
        const int start = output.indexOf(marker);
        if (start < 0)
            return QString();
        const int valueStart = start + marker.size();
        const int end = output.indexOf(QLatin1Char('\n'), valueStart);
        return output.mid(valueStart, end < 0 ? -1 : end - valueStart);
    }

private slots:
    void documentWithoutRoot_data()
    {
        QTest::addColumn<QString>("document");
        QTest::newRow("syntaxError") << documentUrl(QStringLiteral("broken.qml"));
        QTest::newRow("missingFile") << documentUrl(QStringLiteral("no-such-document.qml"));
        QTest::newRow("qrcPathOutsideResources") << QStringLiteral("qrc:/no-such-document.qml");
    }

    void documentWithoutRoot()
    {
        QFETCH(QString, document);
        const Run run = runProbe(document);

        // Had the event loop been entered, nothing would ever end it and the probe would hang.
        QVERIFY2(run.finished, qPrintable(run.output));
        QCOMPARE(run.status, QProcess::NormalExit);
        QCOMPARE(run.exitCode, 255); // -1 as seen by the parent
        QVERIFY2(!run.output.contains(QStringLiteral("PROBE")), qPrintable(run.output));
    }

    void copypastasReadyBeforeDocument()
    {
        {
            QSettings stored(copypastaStorePath(), QSettings::IniFormat);
            stored.beginGroup(QStringLiteral("copypasta"));
            stored.beginWriteArray(QStringLiteral("copypastas"));
            const QStringList titles { QStringLiteral("oldest"), QString::fromUtf8("mïddle \"quoted\""),
                QStringLiteral("newest") };
            for (int i = 0; i < titles.size(); ++i) {
                stored.setArrayIndex(i);
                stored.setValue(QStringLiteral("title"), titles.at(i));
                stored.setValue(QStringLiteral("cptext"), QStringLiteral("text %1").arg(i));
            }
            stored.endArray();
            stored.endGroup();
        }

        const Run run = runProbe(documentUrl(QStringLiteral("model.qml")));

        QVERIFY2(run.finished, qPrintable(run.output));
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(probeValue(run.output, QStringLiteral("created")),
            QString::fromUtf8("[\"newest\",\"mïddle \\\"quoted\\\"\",\"oldest\"]"));
        QCOMPARE(probeValue(run.output, QStringLiteral("afterAdd")),
            QString::fromUtf8("[\"from QML\",\"newest\",\"mïddle \\\"quoted\\\"\",\"oldest\"]"));
        // The start-up fill reports the newest entry.
        QVERIFY2(run.output.contains(QStringLiteral("\"newest\" | \"text 2\"")), qPrintable(run.output));

        QSettings stored(copypastaStorePath(), QSettings::IniFormat);
        QCOMPARE(stored.value(QStringLiteral("copypasta/copypastas/size")).toInt(), 4);
        QCOMPARE(stored.value(QStringLiteral("copypasta/copypastas/4/title")).toString(), QStringLiteral("from QML"));
    }

    void emptyFirstStart()
    {
        const Run run = runProbe(documentUrl(QStringLiteral("model.qml")));

        QVERIFY2(run.finished, qPrintable(run.output));
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(probeValue(run.output, QStringLiteral("created")), QStringLiteral("[]"));
        QVERIFY2(run.output.contains(QStringLiteral("\"\" | \"\"")), qPrintable(run.output));
    }

    void styleSelection_data()
    {
        QTest::addColumn<QVariant>("storedTheme"); // invalid: nothing stored
        QTest::addColumn<QString>("expectedName");
        QTest::addColumn<QString>("expectedFolder"); // where the Button implementation comes from

        // Names Qt does not know fall back to its basic style, whose files sit in Controls.2 itself.
        const QString basic = QStringLiteral("Controls.2");
        QTest::newRow("firstStart") << QVariant() << "Material"
                                    << "Material";
        QTest::newRow("Universal") << QVariant("Universal") << "Universal"
                                   << "Universal";
        QTest::newRow("Classic") << QVariant("Classic") << "Classic" << basic;
        QTest::newRow("unknownName") << QVariant("Comic Sans") << "Comic Sans" << basic;
        QTest::newRow("number") << QVariant(42) << "42" << basic;
    }

    void styleSelection()
    {
        QFETCH(QVariant, storedTheme);
        QFETCH(QString, expectedName);
        QFETCH(QString, expectedFolder);

        if (storedTheme.isValid()) {
            QSettings settings(defaultStorePath(), QSettings::IniFormat);
            settings.setValue(QStringLiteral("global/theme"), storedTheme);
        }
        const QByteArray before = readAll(defaultStorePath());

        const Run run = runProbe(documentUrl(QStringLiteral("style.qml")));

        QVERIFY2(run.finished, qPrintable(run.output));
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(probeValue(run.output, QStringLiteral("style")), expectedName);
        const QString source = QUrl(probeValue(run.output, QStringLiteral("source"))).toLocalFile();
        QCOMPARE(QFileInfo(source).dir().dirName(), expectedFolder);
        // Start-up only reads the theme; it never rewrites the store.
        QCOMPARE(readAll(defaultStorePath()), before);
    }

    void garbageSettings()
    {
        QByteArray garbage(32768, Qt::Uninitialized);
        QRandomGenerator generator(7);
        for (char &byte : garbage)
            byte = char(generator.bounded(256));
        writeAll(defaultStorePath(), garbage);
        writeAll(copypastaStorePath(), garbage);

        const Run run = runProbe(documentUrl(QStringLiteral("style.qml")));

        QVERIFY2(run.finished, qPrintable(run.output));
        QCOMPARE(run.status, QProcess::NormalExit);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(probeValue(run.output, QStringLiteral("style")), QStringLiteral("Material"));
        // Unreadable settings are left alone rather than overwritten.
        QCOMPARE(readAll(defaultStorePath()), garbage);
        QCOMPARE(readAll(copypastaStorePath()), garbage);
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

    void signalWhileLoading()
    {
        const Run run = runProbe(documentUrl(QStringLiteral("signalwhileloading.qml")));

        QVERIFY2(run.finished, qPrintable(run.output));
        QVERIFY2(run.output.contains(QStringLiteral("PROBE raised")), qPrintable(run.output));
        QCOMPARE(run.status, QProcess::NormalExit);
        QCOMPARE(run.exitCode, 0);
    }

    void windowShownOnFirstStart()
    {
        // The offscreen platform cannot draw a window, so this needs the X server of xvfb-run.
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X display (run under xvfb-run)");

        const Run run = runProbe(documentUrl(QStringLiteral("window.qml")), QStringLiteral("xcb"));

        QVERIFY2(run.finished, qPrintable(run.output));
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(probeValue(run.output, QStringLiteral("shown")), QStringLiteral("Material rows=0"));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
