#include "demofeed.h"

#include "testhttpserver.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

// Resources of a static library are only registered when asked for by name, outside any namespace.
static void registerDemoPictures()
{
    Q_INIT_RESOURCE(demo);
}

namespace {
using Request = TestHttpServer::Request;
using Response = TestHttpServer::Response;

struct Picture {
    const char *name;
    const char *contentType;
};

const Picture pictures[] = {
    { "compiled.png", "image/png" },
    { "buttons.png", "image/png" },
    { "duck.jpg", "image/jpeg" },
    { "coffee.jpg", "image/jpeg" },
    { "ram.gif", "image/gif" },
    { "cookie.png", "image/png" },
};

QJsonObject post(const QString &title, const QString &url, const QString &hint, bool stickied = false)
{
    return QJsonObject { { "kind", "t3" },
        { "data",
            QJsonObject { { "title", title }, { "url", url }, { "post_hint", hint }, { "stickied", stickied } } } };
}

QByteArray listing(const QJsonArray &children, const QJsonValue &after)
{
    const QJsonObject data { { "after", after }, { "children", children } };
    return QJsonDocument(QJsonObject { { "kind", "Listing" }, { "data", data } }).toJson(QJsonDocument::Compact);
}

QByteArray page(const QByteArray &after, const QString &base)
{
    const QString demo = base + QStringLiteral("/demo/");
    if (after == "t3_demo2") {
        return listing({ post("Monday.exe has stopped working", demo + "coffee.jpg", "image"),
                           post("Free RAM upgrade (a GIF; the feed shows its first frame)", demo + "ram.gif", "image"),
                           post("A small picture is shown at its own size", demo + "cookie.png", "image") },
            "t3_demo3");
    }
    if (after == "t3_demo3") {
        return listing(
            { post("Last page &gt;_&lt; LOAD MORE starts over", demo + "compiled.png", "image") }, QJsonValue::Null);
    }
    // As on the real board, the first page starts with a pinned post and holds a link post; the
    // feed shows neither.
    return listing({ post("Welcome to the demo feed (pinned, not shown)", demo + "cookie.png", "image", true),
                       post("It compiled on the first try", demo + "compiled.png", "image"),
                       post("A link post, not shown", base + "/article", "link"),
                       post("Friday, 5 PM: tests or ship it?", demo + "buttons.png", "image"),
                       post("Me &amp; the rubber duck at 3 AM", demo + "duck.jpg", "image") },
        "t3_demo2");
}
} // namespace

void installDemoRoutes(TestHttpServer &server)
{
    registerDemoPictures();
    for (const Picture &picture : pictures) {
        QFile file(QStringLiteral(":/demo/") + QLatin1String(picture.name));
        file.open(QIODevice::ReadOnly);
        const Response response = Response::ok(file.readAll(), picture.contentType);
        server.route(QByteArray("/demo/") + picture.name, [response](const Request &) { return response; });
    }
    const QString base = server.url();
    for (const char *sort : { "hot", "new", "top", "controversial" }) {
        server.route(QByteArray("/r/dankmemes/") + sort + ".json", [base](const Request &request) {
            return Response::ok(page(request.queryItem("after"), base), "application/json");
        });
    }
}
