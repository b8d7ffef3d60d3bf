#include "benchsupport.h"
#include "cannedroutes.h"
#include "testhttpserver.h"

#include <QCoreApplication>

#include <cstdio>

// Start-up: process start to the first frame swapped of the main window, for the application
// (empty profile, feed origin on a local server) and for a minimal Controls 2 Material window.
// Warm: each program keeps its QML disk cache between runs (as on a user's second start).
// Cold: QML_DISABLE_DISK_CACHE=1, which also leaves the ahead-of-time compiled documents unused.
// Needs a display: run under xvfb-run.
namespace {
double firstFrameMs(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
    const QString &cache, bool cold, const QString &origin)
{
    Bench::Profile profile;
    profile.writeDefaultSettings({ { QStringLiteral("trending/origin"), origin } });
    QProcessEnvironment merged = profile.environment();
    merged.insert(QStringLiteral("XDG_CACHE_HOME"), cache);
    if (cold)
        merged.insert(QStringLiteral("QML_DISABLE_DISK_CACHE"), QStringLiteral("1"));
    for (const QString &name : environment.keys())
        merged.insert(name, environment.value(name));
    const Bench::LauncherRun run = Bench::runLauncher(program, arguments, merged);
    if (!run.ok || !run.values.contains(QStringLiteral("first_frame_ns"))) {
        std::fprintf(stderr, "%s failed:\n%s\n", qPrintable(program), qPrintable(run.errorOutput));
        return -1;
    }
    return Bench::milliseconds(run.values.value(QStringLiteral("first_frame_ns")) - run.startedAtNs);
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const int runs = Bench::repetitions(argc, argv, 11);
    if (!Bench::hasDisplay("bench_startup"))
        return 2;
    TestHttpServer server;
    if (!server.listen())
        return 1;
    installCannedRoutes(server);

    const QString app = QStringLiteral(BENCH_APP);
    const QString floor = QStringLiteral(BENCH_FLOOR);
    Bench::Profile appCache;
    Bench::Profile floorCache;
    const QProcessEnvironment none;
    // Fill both disk caches once; these runs are not counted.
    firstFrameMs(app, { QStringLiteral("startup") }, none, appCache.path(), false, server.url());
    firstFrameMs(floor, {}, none, floorCache.path(), false, server.url());

    for (bool cold : { false, true }) {
        QVector<double> programTimes;
        QVector<double> floorTimes;
        // Alternating spreads the machine's noise over both.
        for (int i = 0; i < runs; ++i) {
            const double a
                = firstFrameMs(app, { QStringLiteral("startup") }, none, appCache.path(), cold, server.url());
            const double f = firstFrameMs(floor, {}, none, floorCache.path(), cold, server.url());
            if (a < 0 || f < 0)
                return 1;
            programTimes.append(a);
            floorTimes.append(f);
        }
        Bench::printComparison(
            cold ? QStringLiteral("start-up, cold (no QML disk cache)") : QStringLiteral("start-up, warm"),
            QStringLiteral("ms"), programTimes, floorTimes, 1.3);
    }
    return 0;
}
