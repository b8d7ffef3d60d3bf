#include "demofeed.h"
#include "firstcardsshot.h"
#include "startup.h"
#include "testhttpserver.h"

#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

// Starts the real executable against the demo feed on a display of its own, waits for its first
// meme cards, keeps a screenshot and expects the program to quit cleanly on SIGTERM.
class SmokeTest : public QObject {
    Q_OBJECT

private slots:
    void firstCardsShowAndProgramQuitsCleanly()
    {
        QTemporaryDir folder;
        TestHttpServer server;
        QVERIFY(server.listen());
        installDemoRoutes(server);
        // The program reads its origin from the default store of this test's temporary home.
        Startup::setIdentity(*QCoreApplication::instance());
        QSettings().setValue(QStringLiteral("trending/origin"), server.url());
        QSettings().sync();
        const QString screenshot = folder.filePath(QStringLiteral("first-cards.png"));

        // A display of its own: windows of tests running beside this one cannot cover the program.
        QProcess capture;
        capture.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("JESTCRATE_SCREEN"), QStringLiteral("800x600x24"));
        capture.setProcessEnvironment(environment);
        capture.start(QStringLiteral("sh"),
            { QStringLiteral(JESTCRATE_WITHDISPLAY), QStringLiteral(JESTCRATE_DEMO), QStringLiteral("screenshot"),
                screenshot, QStringLiteral(JESTCRATE_EXECUTABLE) });
        QSignalSpy finished(&capture, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
        QVERIFY(finished.wait(90000));
        QCOMPARE(capture.exitStatus(), QProcess::NormalExit);
        QCOMPARE(capture.exitCode(), 0);

        const FrameSummary summary = FrameSummary::of(QImage(screenshot));
        QVERIFY2(summary.showsCards(),
            qPrintable(QStringLiteral("teal %1, colourful %2").arg(summary.tealPixels).arg(summary.colourfulPixels)));
        QVERIFY(server.requestedTargets().contains(QStringLiteral("/demo/compiled.png")));
    }

    void commandLineAnsweredWithoutDisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output"); // patterns for all of standard output and standard error
        QTest::addColumn<QString>("errors");
        const QString version = QStringLiteral("^")
            + QRegularExpression::escape(QStringLiteral("Jest Crate " JESTCRATE_PROJECT_VERSION "\n"))
            + QStringLiteral("$");
        const QString hint = QStringLiteral("\\.\\nTry 'jestcrate --help' for the options\\.\\n$");
        QTest::newRow("version") << QStringList { "--version" } << 0 << version << "^$";
        QTest::newRow("versionAfterQtOption")
            << QStringList { "-platform", "xcb", "--version" } << 0 << version << "^$";
        QTest::newRow("help") << QStringList { "--help" } << 0 << "^Usage: .*-h, --help.*-v, --version"
                              << "^$";
        QTest::newRow("unknownOption") << QStringList { "--frobnicate" } << 2 << "^$"
                                       << "^jestcrate: Unknown option 'frobnicate'" + hint;
        QTest::newRow("strayArgument") << QStringList { "meme.png" } << 2 << "^$"
                                       << "^jestcrate: Unexpected argument 'meme.png'" + hint;
    }

    // Answered before the application object exists: without a display, reaching it would abort.
    void commandLineAnsweredWithoutDisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, output);
        QFETCH(QString, errors);
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(JESTCRATE_EXECUTABLE), arguments);
        QVERIFY(program.waitForFinished(30000));

        const QString standardOutput = QString::fromLocal8Bit(program.readAllStandardOutput());
        const QString standardError = QString::fromLocal8Bit(program.readAllStandardError());
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), status);
        const auto matches = [](const QString &pattern, const QString &text) {
            return QRegularExpression(pattern, QRegularExpression::DotMatchesEverythingOption).match(text).hasMatch();
        };
        QVERIFY2(matches(output, standardOutput), qPrintable(standardOutput));
        QVERIFY2(matches(errors, standardError), qPrintable(standardError));
    }
};

QTEST_MAIN(SmokeTest)

#include "tst_smoke.moc"
