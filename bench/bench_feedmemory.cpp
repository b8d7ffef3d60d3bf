#include "benchsupport.h"
#include "testhttpserver.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLinearGradient>
#include <QPainter>

#include <cstdio>

// Feed memory: resident memory of the application after its feed has shown 200 cards of
// 4000x3000 JPEG pictures, scrolled through card by card, against 200 cards of 400x300 pictures.
// Every card has its own address, so no picture is shared between cards. Needs a display: run
// under xvfb-run.
namespace {
const int cardCount = 200;

QByteArray picture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor(0xe0, 0x40, 0x30));
    gradient.setColorAt(1, QColor(0x20, 0x60, 0xd0));
    painter.fillRect(image.rect(), gradient);
    painter.setPen(Qt::white);
    for (int x = 0; x < width; x += width / 40 + 1)
        painter.drawLine(x, 0, width - x, height);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    return bytes;
}

QByteArray listing(const QString &origin, const QString &folder)
{
    QJsonArray children;
    for (int i = 0; i < cardCount; ++i) {
        const QJsonObject post { { QStringLiteral("title"), QStringLiteral("Card %1").arg(i) },
            { QStringLiteral("post_hint"), QStringLiteral("image") }, { QStringLiteral("stickied"), false },
            { QStringLiteral("url"), QStringLiteral("%1/%2/%3.jpg").arg(origin, folder).arg(i) } };
        children.append(
            QJsonObject { { QStringLiteral("kind"), QStringLiteral("t3") }, { QStringLiteral("data"), post } });
    }
    const QJsonObject data { { QStringLiteral("children"), children }, { QStringLiteral("after"), QJsonValue() } };
    return QJsonDocument(
        QJsonObject { { QStringLiteral("kind"), QStringLiteral("Listing") }, { QStringLiteral("data"), data } })
        .toJson(QJsonDocument::Compact);
}

void serve(TestHttpServer &server, const QString &folder, const QByteArray &bytes)
{
    const QByteArray body = listing(server.url(), folder);
    server.route("/r/dankmemes/" + folder.toLatin1() + ".json",
        [body](const TestHttpServer::Request &) { return TestHttpServer::Response::ok(body, "application/json"); });
    for (int i = 0; i < cardCount; ++i) {
        server.route("/" + folder.toLatin1() + '/' + QByteArray::number(i) + ".jpg",
            [bytes](const TestHttpServer::Request &) { return TestHttpServer::Response::ok(bytes, "image/jpeg"); });
    }
}

bool feedMemory(const QString &server, const QString &folder, double &residentMib, double &peakMib)
{
    Bench::Profile profile;
    profile.writeDefaultSettings(
        { { QStringLiteral("trending/origin"), server }, { QStringLiteral("trending/sort"), folder } });
    const Bench::LauncherRun run
        = Bench::runLauncher(QStringLiteral(BENCH_APP), { QStringLiteral("feed") }, profile.environment(), 900000);
    if (!run.ok || run.values.value(QStringLiteral("cards")) != cardCount) {
        std::fprintf(stderr, "the %s feed showed %lld cards:\n%s\n", qPrintable(folder),
            static_cast<long long>(run.values.value(QStringLiteral("cards"))), qPrintable(run.errorOutput));
        return false;
    }
    residentMib = double(run.values.value(QStringLiteral("rss_kib"))) / 1024;
    peakMib = double(run.values.value(QStringLiteral("hwm_kib"))) / 1024;
    return true;
}
} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication application(argc, argv);
    const int runs = Bench::repetitions(argc, argv, 3);
    TestHttpServer server;
    if (const int status = Bench::setUpOnDisplay("bench_feedmemory", server))
        return status;
    serve(server, QStringLiteral("large"), picture(4000, 3000));
    serve(server, QStringLiteral("small"), picture(400, 300));

    QVector<double> largeResident, smallResident, largePeak, smallPeak;
    for (int i = 0; i < runs; ++i) {
        double resident = 0, peak = 0;
        if (!feedMemory(server.url(), QStringLiteral("large"), resident, peak))
            return 1;
        largeResident.append(resident);
        largePeak.append(peak);
        if (!feedMemory(server.url(), QStringLiteral("small"), resident, peak))
            return 1;
        smallResident.append(resident);
        smallPeak.append(peak);
    }
    Bench::printComparison(QStringLiteral("feed resident, 4000x3000 vs 400x300"), QStringLiteral("MiB"), largeResident,
        smallResident, 1.5);
    Bench::printComparison(
        QStringLiteral("feed peak (VmHWM), same runs"), QStringLiteral("MiB"), largePeak, smallPeak, 1.5);
    const int requests = server.requestedTargets().size();
    std::printf("requests served: %d (%d listings and pictures expected)\n", requests, runs * 2 * (cardCount + 1));
    return 0;
}
