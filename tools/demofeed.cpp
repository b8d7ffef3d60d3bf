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
    { "gallery1.png", "image/png" },
    { "gallery2.png", "image/png" },
    { "gallery3.png", "image/png" },
    { "spicy.jpg", "image/jpeg" },
};

enum class Kind { Picture, Link, Gallery };

// Every post of the demo board, in listing order; pages follow each other through "after".
struct DemoPost {
    int page;
    const char *id;
    const char *title;
    const char *picture; // a gallery's first picture; none for a link post
    bool stickied;
    Kind kind = Kind::Picture;
    bool over18 = false;
};

// The pictures of the gallery post, in gallery order.
const char *const galleryPictures[] = { "gallery1.png", "gallery2.png", "gallery3.png" };

const DemoPost posts[] = {
    // As on the real board, the first page starts with a pinned post and holds a link post; the
    // feed shows neither.
    { 1, "t3_demo1a", "Welcome to the demo feed (pinned, not shown)", "cookie.png", true },
    { 1, "t3_demo1b", "It compiled on the first try", "compiled.png", false },
    { 1, "t3_demo1f", "How every feature gets done (a gallery: swipe, arrows or the buttons)", "gallery1.png", false,
        Kind::Gallery },
    { 1, "t3_demo1g", "Too spicy for the office (NSFW: blurred until clicked)", "spicy.jpg", false, Kind::Picture,
        true },
    { 1, "t3_demo1c", "A link post, not shown", nullptr, false, Kind::Link },
    { 1, "t3_demo1d", "Friday, 5 PM: tests or ship it?", "buttons.png", false },
    { 1, "t3_demo1e", "Me &amp; the rubber duck at 3 AM", "duck.jpg", false },
    // The board re-ranked while you read page 1: page 2 repeats a post, which the feed shows once.
    { 2, "t3_demo1d", "Friday, 5 PM: tests or ship it?", "buttons.png", false },
    { 2, "t3_demo2a", "Monday.exe has stopped working", "coffee.jpg", false },
    { 2, "t3_demo2b", "Free RAM upgrade (a GIF; the feed shows its first frame)", "ram.gif", false },
    { 2, "t3_demo2c", "A small picture is shown at its own size", "cookie.png", false },
    { 3, "t3_demo3a", "Last page &gt;_&lt; LOAD MORE starts over", "compiled.png", false },
};
constexpr int pageCount = 3;

QString pictureUrl(const char *picture, const QString &base)
{
    return base + QStringLiteral("/demo/") + QLatin1String(picture);
}

QString targetOf(const DemoPost &post, const QString &base)
{
    switch (post.kind) {
    case Kind::Link:
        return base + QStringLiteral("/article");
    case Kind::Gallery:
        return base + QStringLiteral("/gallery/") + QLatin1String(post.id).mid(3);
    case Kind::Picture:
        break;
    }
    return pictureUrl(post.picture, base);
}

// A gallery post as the board lists it: no post_hint, its pictures under media_metadata, their
// addresses HTML-escaped.
void addGallery(QJsonObject &data, const QString &base)
{
    QJsonArray items;
    QJsonObject media;
    for (const char *picture : galleryPictures) {
        const QString id = QString::fromLatin1(picture).section(QLatin1Char('.'), 0, 0);
        items.append(QJsonObject { { "media_id", id } });
        const QString source = pictureUrl(picture, base) + QStringLiteral("?format=png&amp;v=1");
        media.insert(id,
            QJsonObject { { "status", "valid" }, { "e", "Image" }, { "m", "image/png" },
                { "s", QJsonObject { { "x", 432 }, { "y", 324 }, { "u", source } } } });
    }
    data.insert("is_gallery", true);
    data.insert("gallery_data", QJsonObject { { "items", items } });
    data.insert("media_metadata", media);
}

QJsonObject postData(const DemoPost &post, const QString &base)
{
    QJsonObject data { { "name", QLatin1String(post.id) }, { "title", QLatin1String(post.title) },
        { "url", targetOf(post, base) }, { "stickied", post.stickied }, { "over_18", post.over18 },
        { "spoiler", false } };
    if (post.kind == Kind::Gallery)
        addGallery(data, base);
    else
        data.insert("post_hint", post.kind == Kind::Link ? "link" : "image");
    return data;
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
        children.append(QJsonObject { { "kind", "t3" }, { "data", postData(post, base) } });
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
        Response response = Response::ok(file.readAll(), picture.contentType);
        // Like the forum's picture host: cacheable, so the demo's pictures show on an offline start too.
        response.headers.append(qMakePair(QByteArray("Cache-Control"), QByteArray("public, max-age=31536000")));
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
