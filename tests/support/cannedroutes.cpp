#include "cannedroutes.h"

#include "testhttpserver.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSharedPointer>
#include <QUrlQuery>
#include <QXmlStreamWriter>

// Resources of a static library are only registered when asked for by name, outside any namespace.
static void registerTestData()
{
    Q_INIT_RESOURCE(testdata);
}

namespace {
using Request = TestHttpServer::Request;
using Response = TestHttpServer::Response;

const QByteArray json = "application/json";
const QByteArray atomType = "application/atom+xml; charset=UTF-8";
const QString atomNamespace = QStringLiteral("http://www.w3.org/2005/Atom");
const int hugeSize = 3 * 1024 * 1024;

// A 40x30 picture of one colour.
QByteArray encodedImage(const QColor &color, const char *format)
{
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray testData(const QString &name)
{
    QFile file(QStringLiteral(":/testdata/") + name);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

QJsonObject post(const QString &title, const QString &url, const QString &hint, bool stickied = false)
{
    QJsonObject data { { "title", title }, { "url", url }, { "stickied", stickied } };
    if (!hint.isNull())
        data.insert("post_hint", hint);
    return QJsonObject { { "kind", "t3" }, { "data", data } };
}

QByteArray listing(const QJsonArray &children, const QJsonValue &after)
{
    const QJsonObject data { { "after", after }, { "children", children } };
    return QJsonDocument(QJsonObject { { "kind", "Listing" }, { "data", data } }).toJson(QJsonDocument::Compact);
}

QByteArray firstPage(const QString &base)
{
    const QJsonArray children {
        post("Pinned rules", base + "/img/still.png", "image", true),
        post("First meme", base + "/img/still.png", "image"),
        post("A link post", base + "/article", "link"),
        post("No hint at all", base + "/img/still.png", QString()),
        post("Second meme", base + "/img/photo.jpg", "image"),
    };
    return listing(children, "t3_page2");
}

QByteArray secondPage(const QString &base)
{
    return listing({ post("Second page meme", base + "/img/photo.jpg", "image") }, QJsonValue::Null);
}

// Page 2 when the request asks for what comes after page 1, else page 1.
QByteArray page(const Request &request, const QString &base)
{
    return request.queryItem("after") == "t3_page2" ? secondPage(base) : firstPage(base);
}

Response with(Response response, int status, Response::Delivery delivery = Response::Delivery::Complete)
{
    response.status = status;
    response.delivery = delivery;
    return response;
}

Response unauthorized()
{
    return with(Response::ok(R"({"message": "Unauthorized", "error": 401})", json), 401);
}

// What the forum sends an anonymous client that asks for a JSON listing.
Response blocked()
{
    return with(Response::ok(testData("atom-notxml.html"), "text/html"), 403);
}

// The tokens one server has issued.
using Grants = QSet<QByteArray>;

Response grant(const Request &request, Grants &grants)
{
    const QByteArray authorization = request.headers.value("authorization");
    const QByteArray credentials = QByteArray::fromBase64(authorization.mid(6));
    const int colon = credentials.indexOf(':');
    const QUrlQuery form(QString::fromUtf8(request.body));
    const int deviceIdLength = form.queryItemValue(QStringLiteral("device_id"), QUrl::FullyDecoded).size();
    // An installed client has no secret, so the credentials end at the colon.
    if (request.method != "POST" || !authorization.startsWith("Basic ") || colon < 1 || colon != credentials.size() - 1
        || !request.headers.value("content-type").startsWith("application/x-www-form-urlencoded")
        || form.queryItemValue(QStringLiteral("grant_type"), QUrl::FullyDecoded)
            != QLatin1String("https://oauth.reddit.com/grants/installed_client")
        || deviceIdLength < 20 || deviceIdLength > 30)
        return unauthorized();

    const QByteArray clientId = credentials.left(colon);
    if (clientId != "good-client" && clientId != "unsafe-token")
        return unauthorized();

    // A token that would smuggle a header of its own into the next request.
    const QByteArray token
        = clientId == "unsafe-token" ? "token-0\r\nX-Injected: 1" : "token-" + QByteArray::number(grants.size() + 1);
    grants.insert(token);
    const QJsonObject answer { { "access_token", QString::fromLatin1(token) }, { "token_type", "bearer" },
        { "expires_in", 86400 }, { "scope", "*" } };
    return Response::ok(QJsonDocument(answer).toJson(QJsonDocument::Compact), json);
}

Response guardedListing(const Request &request, Grants &grants, const QString &base)
{
    const QByteArray authorization = request.headers.value("authorization");
    if (authorization.isEmpty())
        return blocked();
    if (!authorization.startsWith("bearer ") || !grants.contains(authorization.mid(7)))
        return unauthorized();
    return Response::ok(page(request, base), json);
}

} // namespace

QByteArray atomFeed(const QList<AtomEntry> &entries)
{
    QByteArray xml;
    QXmlStreamWriter writer(&xml);
    writer.setAutoFormatting(true);
    writer.writeStartDocument();
    writer.writeDefaultNamespace(atomNamespace);
    writer.writeStartElement(atomNamespace, QStringLiteral("feed"));
    writer.writeTextElement(atomNamespace, QStringLiteral("id"), QStringLiteral("/r/dankmemes/.rss"));
    writer.writeTextElement(atomNamespace, QStringLiteral("title"), QStringLiteral("dank memes"));
    writer.writeTextElement(atomNamespace, QStringLiteral("updated"), QStringLiteral("2026-08-01T12:00:00+00:00"));
    for (const AtomEntry &entry : entries) {
        const QString comments
            = QStringLiteral("https://www.reddit.com/r/dankmemes/comments/%1/post/").arg(entry.id.mid(3));
        // The entry's content is HTML, escaped once more by the writer like any text.
        const QString content = QStringLiteral("<table> <tr><td> &#32; submitted by &#32; <a "
                                               "href=\"https://www.reddit.com/user/demo\"> /u/demo </a> <br/> "
                                               "<span><a href=\"%1\">[link]</a></span> &#32; "
                                               "<span><a href=\"%2\">[comments]</a></span> </td></tr></table>")
                                    .arg(entry.link.toHtmlEscaped(), comments);
        writer.writeStartElement(atomNamespace, QStringLiteral("entry"));
        writer.writeStartElement(atomNamespace, QStringLiteral("content"));
        writer.writeAttribute(QStringLiteral("type"), QStringLiteral("html"));
        writer.writeCharacters(content);
        writer.writeEndElement();
        writer.writeTextElement(atomNamespace, QStringLiteral("id"), entry.id);
        writer.writeEmptyElement(atomNamespace, QStringLiteral("link"));
        writer.writeAttribute(QStringLiteral("href"), comments);
        writer.writeTextElement(atomNamespace, QStringLiteral("updated"), QStringLiteral("2026-08-01T11:58:00+00:00"));
        // The forum escapes its titles once more than the format asks for.
        writer.writeTextElement(atomNamespace, QStringLiteral("title"), entry.title.toHtmlEscaped());
        writer.writeEndElement();
    }
    writer.writeEndDocument();
    return xml;
}

QByteArray atomFixture(const QString &name)
{
    registerTestData();
    return testData(QStringLiteral("atom-") + name
        + (name == QLatin1String("notxml") ? QStringLiteral(".html") : QStringLiteral(".xml")));
}

void installCannedRoutes(TestHttpServer &server)
{
    registerTestData();
    TestHttpServer *const self = &server;
    const auto fixed = [self](const QByteArray &path, const Response &response) {
        self->route(path, [response](const Request &) { return response; });
    };

    // Pictures.
    const QByteArray photoJpeg = encodedImage(Qt::blue, "jpg");
    fixed("/img/still.png", Response::ok(encodedImage(Qt::red, "png"), "image/png"));
    fixed("/img/photo.jpg", Response::ok(photoJpeg, "image/jpeg"));
    fixed("/img/animated.gif", Response::ok(testData("animated.gif"), "image/gif"));
    fixed("/img/single.gif", Response::ok(testData("single.gif"), "image/gif"));
    fixed("/img/notimage.txt", Response::ok("plain text, not a picture\n", "text/plain"));
    fixed("/img/empty", Response::ok(QByteArray(), "image/png"));
    fixed("/img/close", with(Response::ok(photoJpeg, "image/jpeg"), 200, Response::Delivery::CloseMidBody));
    fixed("/img/stall", with(Response::ok(photoJpeg, "image/jpeg"), 200, Response::Delivery::NeverComplete));
    // Image readers stop at the end of the picture, so the padding keeps it readable.
    const QByteArray hugeJpeg = photoJpeg.leftJustified(hugeSize, '\0');
    fixed("/img/huge", Response::ok(hugeJpeg, "image/jpeg"));
    fixed("/img/huge-unsized", with(Response::ok(hugeJpeg, "image/jpeg"), 200, Response::Delivery::Unsized));
    server.route("/img/redirect",
        [self](const Request &) { return Response::redirect(self->url().toUtf8() + "/img/still.png"); });
    server.route("/img/redirect-to", [](const Request &request) {
        return Response::redirect(QByteArray::fromPercentEncoding(request.queryItem("to")));
    });

    // Listings.
    server.route("/r/dankmemes/hot.json",
        [self](const Request &request) { return Response::ok(page(request, self->url()), json); });
    fixed("/r/dankmemes/cursor.json", Response::ok(listing({}, "t3_cursor"), json));
    fixed("/r/dankmemes/empty.json", Response::ok(R"({"kind":"Listing","data":{"dist":0}})", json));
    fixed("/r/dankmemes/notjson.json", Response::ok("<html><body>Not JSON</body></html>", "text/html"));
    fixed("/r/dankmemes/stall.json",
        with(Response::ok(listing({}, "t3_stall"), json), 200, Response::Delivery::NeverComplete));
    server.route("/r/dankmemes/nul.json", [self](const Request &) {
        const QByteArray head = listing({ post("Before the NUL", self->url() + "/img/still.png", "image") }, "t3_nul");
        return Response::ok(head + QByteArray(1, '\0') + R"({"after":"t3_hidden"})", json);
    });
    // Shaped like the live board: a gallery, NSFW and spoiler posts, .gifv links, and page 2
    // repeating the last post of page 1. Cached pictures are what the offline start shows.
    server.route("/r/dankmemes/real.json", [self](const Request &request) {
        const QString page
            = request.queryItem("after") == "t3_real1g" ? QStringLiteral("page2") : QStringLiteral("page1");
        const QByteArray body = testData(QStringLiteral("listing-real-%1.json").arg(page));
        return Response::ok(QByteArray(body).replace("{origin}", self->url().toUtf8()), json);
    });
    Response kept = Response::ok(encodedImage(Qt::red, "png"), "image/png");
    kept.headers.append(qMakePair(QByteArray("Cache-Control"), QByteArray("public, max-age=86400")));
    fixed("/img/kept.png", kept);
    server.route("/r/dankmemes/kept.json", [self](const Request &) {
        return Response::ok(
            listing({ post("Kept meme", self->url() + "/img/kept.png", "image") }, QJsonValue::Null), json);
    });
    server.route("/r/dankmemes/redirect.json", [self](const Request &) {
        return Response::redirect(self->url().toUtf8() + "/r/dankmemes/hot.json?after=t3_page2");
    });

    // The forum's API and its feeds.
    const QSharedPointer<Grants> grants(new Grants);
    server.route("/api/v1/access_token", [grants](const Request &request) { return grant(request, *grants); });
    server.route("/r/dankmemes/guarded.json",
        [self, grants](const Request &request) { return guardedListing(request, *grants, self->url()); });
    fixed("/r/dankmemes/guarded/.rss", Response::ok(atomFixture(QStringLiteral("normal")), atomType));
    fixed("/r/dankmemes/unauthorized.json", unauthorized());
    fixed("/r/dankmemes/truncated.json", blocked());
    fixed("/r/dankmemes/truncated/.rss", Response::ok(atomFixture(QStringLiteral("truncated")), atomType));
    fixed("/r/dankmemes/atom-real.json", blocked());
    fixed("/r/dankmemes/atom-real/.rss", Response::ok(atomFixture(QStringLiteral("real")), atomType));

    for (const int status : { 403, 404, 429, 500 }) {
        const QByteArray name = "status" + QByteArray::number(status);
        fixed("/img/" + name, Response::withStatus(status));
        fixed("/r/dankmemes/" + name + ".json", Response::withStatus(status));
    }
}

QList<QPair<QString, QString>> nonWebPictures(const TestHttpServer &server, const QString &folder)
{
    registerTestData();
    const QByteArray stillPng = encodedImage(Qt::red, "png");
    const QString file = folder + QStringLiteral("/private.png");
    QFile picture(file);
    if (!QDir().mkpath(folder) || !picture.open(QIODevice::WriteOnly) || picture.write(stillPng) != stillPng.size())
        qFatal("cannot write %s", qPrintable(file));
    const QList<QPair<QString, QString>> targets {
        { QStringLiteral("file"), QString::fromLatin1(QUrl::fromLocalFile(file).toEncoded()) },
        { QStringLiteral("qrc"), QStringLiteral("qrc:/testdata/single.gif") },
        { QStringLiteral("data"), QStringLiteral("data:image/png;base64,") + QString::fromLatin1(stillPng.toBase64()) },
        { QStringLiteral("ftp"), QStringLiteral("ftp://127.0.0.1:%1/img/still.png").arg(QUrl(server.url()).port()) },
    };
    QList<QPair<QString, QString>> pictures;
    for (const auto &target : targets) {
        pictures << target
                 << qMakePair(QStringLiteral("redirect to ") + target.first,
                        server.url() + QStringLiteral("/img/redirect-to?to=")
                            + QString::fromLatin1(QUrl::toPercentEncoding(target.second)));
    }
    return pictures;
}
