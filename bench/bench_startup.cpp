#include "benchsupport.h"
#include "cannedroutes.h"
#include "testhttpserver.h"

#include <QCoreApplication>

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
    return Bench::msUntil(program, arguments, merged, QStringLiteral("first_frame_ns"));
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const int runs = Bench::repetitions(argc, argv, 11);
    TestHttpServer server;
    if (const int status = Bench::setUpOnDisplay("bench_startup", server))
        return status;
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
        const bool compared = Bench::compareByTurns(
            cold ? QStringLiteral("start-up, cold (no QML disk cache)") : QStringLiteral("start-up, warm"),
            QStringLiteral("ms"), runs,
            [&] { return firstFrameMs(app, { QStringLiteral("startup") }, none, appCache.path(), cold, server.url()); },
            [&] { return firstFrameMs(floor, {}, none, floorCache.path(), cold, server.url()); }, 1.3);
        if (!compared)
            return 1;
    }
    return 0;
}
