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
};

QTEST_MAIN(SmokeTest)

#include "tst_smoke.moc"
