#include "demofeed.h"

#include "cannedroutes.h"
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

// Every post of the demo board, in listing order; pages follow each other through "after".
struct DemoPost {
    int page;
    const char *id;
    const char *title;
    const char *picture; // none: a link post
    bool stickied;
};

const DemoPost posts[] = {
    // As on the real board, the first page starts with a pinned post and holds a link post; the
    // feed shows neither.
    { 1, "t3_demo1a", "Welcome to the demo feed (pinned, not shown)", "cookie.png", true },
    { 1, "t3_demo1b", "It compiled on the first try", "compiled.png", false },
    { 1, "t3_demo1c", "A link post, not shown", nullptr, false },
    { 1, "t3_demo1d", "Friday, 5 PM: tests or ship it?", "buttons.png", false },
    { 1, "t3_demo1e", "Me &amp; the rubber duck at 3 AM", "duck.jpg", false },
    { 2, "t3_demo2a", "Monday.exe has stopped working", "coffee.jpg", false },
    { 2, "t3_demo2b", "Free RAM upgrade (a GIF; the feed shows its first frame)", "ram.gif", false },
    { 2, "t3_demo2c", "A small picture is shown at its own size", "cookie.png", false },
    { 3, "t3_demo3a", "Last page &gt;_&lt; LOAD MORE starts over", "compiled.png", false },
};
constexpr int pageCount = 3;

QString targetOf(const DemoPost &post, const QString &base)
{
    return post.picture ? base + QStringLiteral("/demo/") + QLatin1String(post.picture)
                        : base + QStringLiteral("/article");
}

QByteArray listing(const QJsonArray &children, const QJsonValue &after)
{
    const QJsonObject data { { "after", after }, { "children", children } };
    return QJsonDocument(QJsonObject { { "kind", "Listing" }, { "data", data } }).toJson(QJsonDocument::Compact);
}

QByteArray page(const QByteArray &after, const QString &base)
{
    int number = 1;
    if (after.startsWith("t3_demo"))
        number = qBound(1, after.mid(7).toInt(), pageCount);
    QJsonArray children;
    for (const DemoPost &post : posts) {
        if (post.page != number)
            continue;
        const QJsonObject data { { "title", QLatin1String(post.title) }, { "url", targetOf(post, base) },
            { "post_hint", post.picture ? "image" : "link" }, { "stickied", post.stickied } };
        children.append(QJsonObject { { "kind", "t3" }, { "data", data } });
    }
    const QJsonValue next = number < pageCount ? QJsonValue(QStringLiteral("t3_demo%1").arg(number + 1)) : QJsonValue();
    return listing(children, next);
}

// The Atom feed holds the whole board at once; an Atom reader cannot tell pinned posts apart.
QByteArray feed(const QString &base)
{
    QList<AtomEntry> entries;
    for (const DemoPost &post : posts) {
        if (!post.stickied)
            entries.append({ QLatin1String(post.id),
                QString::fromUtf8(post.title).replace("&amp;", "&").replace("&gt;", ">").replace("&lt;", "<"),
                targetOf(post, base) });
    }
    return atomFeed(entries);
}
} // namespace

void installDemoRoutes(TestHttpServer &server, bool atomOnly)
{
    registerDemoPictures();
    for (const Picture &picture : pictures) {
        QFile file(QStringLiteral(":/demo/") + QLatin1String(picture.name));
        file.open(QIODevice::ReadOnly);
        const Response response = Response::ok(file.readAll(), picture.contentType);
        // Served on every request for the picture: each one needs its own copy.
        server.route(QByteArray("/demo/") + picture.name,
            [response](const Request &) { return response; }); // NOLINT(performance-no-automatic-move)
    }
    const QString base = server.url();
    for (const char *sort : { "hot", "new", "top", "controversial" }) {
        server.route(QByteArray("/r/dankmemes/") + sort + ".json", [base, atomOnly](const Request &request) {
            // Like the live forum, which refuses anonymous JSON listings and serves its Atom feed.
            if (atomOnly) {
                Response blocked = Response::ok("<html><body>blocked</body></html>", "text/html");
                blocked.status = 403;
                return blocked;
            }
            return Response::ok(page(request.queryItem("after"), base), "application/json");
        });
        server.route(QByteArray("/r/dankmemes/") + sort + "/.rss",
            [base](const Request &) { return Response::ok(feed(base), "application/atom+xml; charset=UTF-8"); });
    }
}
