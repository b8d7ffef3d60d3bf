#include "benchsupport.h"
#include "demofeed.h"
#include "testhttpserver.h"

#include <QGuiApplication>

// Time to the first meme: process start to the first frame swapped after the first card's picture
// became ready, with the demo feed on a loopback server, for the application and for a floor that
// fetches the same listing and shows the same first picture with a plain Image.
// Cold: an empty cache folder for every run (no disk cache of pictures, listings or QML).
// Warm: each program keeps its cache folder between runs, as on a user's next start.
// Needs a display: run under xvfb-run.
namespace {
double firstMemeMs(const QString &program, const QStringList &arguments, const QString &origin, const QString &cache)
{
    Bench::Profile profile;
    profile.writeDefaultSettings({ { QStringLiteral("trending/origin"), origin } });
    QProcessEnvironment environment = profile.environment();
    if (!cache.isEmpty())
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), cache);
    return Bench::msUntil(program, arguments, environment, QStringLiteral("first_meme_ns"), 60000);
}
} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication application(argc, argv);
    const int runs = Bench::repetitions(argc, argv, 11);
    TestHttpServer server;
    if (const int status = Bench::setUpOnDisplay("bench_firstmeme", server))
        return status;
    installDemoRoutes(server);

    const QString app = QStringLiteral(BENCH_APP);
    const QString floor = QStringLiteral(BENCH_FLOOR_MEME);
    const QStringList appArguments { QStringLiteral("firstmeme") };
    const QStringList floorArguments { server.url() };
    Bench::Profile appCache;
    Bench::Profile floorCache;
    // Fill both warm caches once; these runs are not counted.
    firstMemeMs(app, appArguments, server.url(), appCache.path());
    firstMemeMs(floor, floorArguments, server.url(), floorCache.path());

    for (bool cold : { true, false }) {
        const bool compared = Bench::compareByTurns(
            cold ? QStringLiteral("first meme, cold (empty caches)") : QStringLiteral("first meme, warm"),
            QStringLiteral("ms"), runs,
            [&] { return firstMemeMs(app, appArguments, server.url(), cold ? QString() : appCache.path()); },
            [&] { return firstMemeMs(floor, floorArguments, server.url(), cold ? QString() : floorCache.path()); },
            1.3);
        if (!compared)
            return 1;
    }
    return 0;
}
