#include "benchsupport.h"
#include "cannedroutes.h"
#include "startup.h"
#include "testhttpserver.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>

// Bunker page: time from pushing the page (as the drawer entry does) to its first frame swapped,
// with 10,000 saved memes against the same with 10. The feed below it shows a listing without
// posts, so nothing else is drawn while the page is pushed. Needs a display: run under xvfb-run.
namespace {
QByteArray samplePicture()
{
    QImage image(400, 300, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(image.rect(), QColor(0x30, 0x80, 0xc0));
    painter.fillRect(QRect(100, 75, 200, 150), QColor(0xf0, 0xc0, 0x20));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    return bytes;
}

double pageFrameMs(const Bench::Profile &profile, const QString &origin, double *pushCallMs = nullptr)
{
    // Written before every run: the program stores its own settings when it ends.
    profile.writeDefaultSettings({ { QStringLiteral("trending/origin"), origin },
        { QStringLiteral("trending/sort"), QStringLiteral("cursor") } });
    const Bench::LauncherRun run
        = Bench::runLauncher(QStringLiteral(BENCH_APP), { QStringLiteral("bunkerpage") }, profile.environment());
    if (!run.ok || !run.values.contains(QStringLiteral("page_frame_ns"))) {
        std::fprintf(stderr, "the Bunker page run failed:\n%s\n", qPrintable(run.errorOutput));
        return -1;
    }
    if (pushCallMs)
        *pushCallMs = Bench::milliseconds(run.values.value(QStringLiteral("push_call_ns")));
    if (qEnvironmentVariableIsSet("BENCH_VERBOSE"))
        std::fprintf(stderr, "%s\nrows %lld\n", qPrintable(run.errorOutput.right(2000)),
            static_cast<long long>(run.values.value(QStringLiteral("page_rows"))));
    return Bench::milliseconds(run.values.value(QStringLiteral("page_frame_ns")));
}
} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication application(argc, argv);
    // The profiles' data folders are named after the program, as the program itself names them.
    Startup::setIdentity(application);
    const int runs = Bench::repetitions(argc, argv, 11);
    TestHttpServer server;
    if (const int status = Bench::setUpOnDisplay("bench_bunkerpage", server))
        return status;
    installCannedRoutes(server);

    const QByteArray picture = samplePicture();
    Bench::Profile few;
    Bench::Profile many;
    for (const Bench::Profile *profile : { &few, &many })
        Bench::fillBunker(profile->appDataPath() + QStringLiteral("/bunker/"), profile == &few ? 10 : 10000, picture);
    // The first run of each fills its QML disk cache; not counted.
    pageFrameMs(few, server.url());
    pageFrameMs(many, server.url());

    QVector<double> manyTimes;
    QVector<double> fewTimes;
    QVector<double> manyPushCalls;
    QVector<double> fewPushCalls;
    for (int i = 0; i < runs; ++i) {
        double manyPushCall = 0;
        double fewPushCall = 0;
        const double m = pageFrameMs(many, server.url(), &manyPushCall);
        const double f = pageFrameMs(few, server.url(), &fewPushCall);
        manyPushCalls.append(manyPushCall);
        fewPushCalls.append(fewPushCall);
        if (m < 0 || f < 0)
            return 1;
        manyTimes.append(m);
        fewTimes.append(f);
    }
    Bench::printComparison(
        QStringLiteral("Bunker page, 10,000 vs 10 memes"), QStringLiteral("ms"), manyTimes, fewTimes, 3);
    // The part of it spent inside the push itself (creating the page, listing, filling the model).
    Bench::printComparison(
        QStringLiteral("  of which the push call"), QStringLiteral("ms"), manyPushCalls, fewPushCalls, 3);
    return 0;
}
