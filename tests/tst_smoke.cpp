#include "demofeed.h"
#include "firstcardsshot.h"
#include "startup.h"
#include "testhttpserver.h"

#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// Starts the real executable against the demo feed on a display of its own, waits for its first
// meme cards, keeps a screenshot and expects the program to quit cleanly on SIGTERM.
class SmokeTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void firstCardsShowAndProgramQuitsCleanly();

private:
    TestHttpServer server;
    QTemporaryDir folder;
};

void SmokeTest::initTestCase()
{
    QVERIFY(folder.isValid());
    QVERIFY(server.listen());
    installDemoRoutes(server);
    // The program reads its origin from the default store of this test's temporary home.
    Startup::setIdentity(*QCoreApplication::instance());
    QSettings settings;
    settings.setValue(QStringLiteral("trending/origin"), server.url());
    settings.sync();
    QCOMPARE(settings.status(), QSettings::NoError);
}

void SmokeTest::firstCardsShowAndProgramQuitsCleanly()
{
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty(),
        "Xvfb is needed to give the program a display of its own");
    const QString screenshot = folder.filePath(QStringLiteral("first-cards.png"));

    // A display of its own: windows of tests running beside this one cannot cover the program.
    QProcess capture;
    capture.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QSignalSpy finished(&capture, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
    QVERIFY(finished.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("JESTCRATE_SCREEN"), QStringLiteral("800x600x24"));
    capture.setProcessEnvironment(environment);
    capture.start(QStringLiteral("sh"),
        { QStringLiteral(JESTCRATE_WITHDISPLAY), QStringLiteral(JESTCRATE_DEMO), QStringLiteral("screenshot"),
            screenshot, QStringLiteral(JESTCRATE_EXECUTABLE) });
    QVERIFY(finished.wait(90000));

    QCOMPARE(capture.exitStatus(), QProcess::NormalExit);
    QCOMPARE(capture.exitCode(), 0);
    QCOMPARE(QString::fromLocal8Bit(capture.readAllStandardOutput()).trimmed(), screenshot);

    const QImage image(screenshot);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), QSize(800, 600));
    const FrameSummary summary = FrameSummary::of(image);
    QVERIFY2(!summary.blank(), qPrintable(QStringLiteral("%1 colours").arg(summary.distinctColours)));
    QVERIFY2(summary.showsCards(),
        qPrintable(QStringLiteral("teal %1, colourful %2").arg(summary.tealPixels).arg(summary.colourfulPixels)));

    const QStringList targets = server.requestedTargets();
    QVERIFY2(targets.contains(QStringLiteral("/r/dankmemes/hot.json?after=&limit=25")), qPrintable(targets.join(' ')));
    QVERIFY2(targets.contains(QStringLiteral("/demo/compiled.png")), qPrintable(targets.join(' ')));
}

QTEST_MAIN(SmokeTest)

#include "tst_smoke.moc"
