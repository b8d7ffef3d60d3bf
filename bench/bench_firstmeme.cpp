#include "benchsupport.h"
#include "demofeed.h"
#include "testhttpserver.h"

#include <QGuiApplication>

#include <cstdio>

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
    const Bench::LauncherRun run = Bench::runLauncher(program, arguments, environment, 60000);
    if (!run.ok || !run.values.contains(QStringLiteral("first_meme_ns"))) {
        std::fprintf(stderr, "%s failed:\n%s\n", qPrintable(program), qPrintable(run.errorOutput));
        return -1;
    }
    return Bench::milliseconds(run.values.value(QStringLiteral("first_meme_ns")) - run.startedAtNs);
}
} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication application(argc, argv);
    const int runs = Bench::repetitions(argc, argv, 11);
    if (!Bench::hasDisplay("bench_firstmeme"))
        return 2;
    TestHttpServer server;
    if (!server.listen())
        return 1;
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
        QVector<double> programTimes;
        QVector<double> floorTimes;
        // Alternating spreads the machine's noise over both.
        for (int i = 0; i < runs; ++i) {
            const double a = firstMemeMs(app, appArguments, server.url(), cold ? QString() : appCache.path());
            const double f = firstMemeMs(floor, floorArguments, server.url(), cold ? QString() : floorCache.path());
            if (a < 0 || f < 0)
                return 1;
            programTimes.append(a);
            floorTimes.append(f);
        }
        Bench::printComparison(
            cold ? QStringLiteral("first meme, cold (empty caches)") : QStringLiteral("first meme, warm"),
            QStringLiteral("ms"), programTimes, floorTimes, 1.3);
    }
    return 0;
}
