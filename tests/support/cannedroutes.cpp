#include "cannedroutes.h"

#include "testhttpserver.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

// Resources of a static library are only registered when asked for by name, outside any namespace.
static void registerTestData()
{
    Q_INIT_RESOURCE(testdata);
}

namespace
{
using Request = TestHttpServer::Request;
using Response = TestHttpServer::Response;

const QByteArray json = "application/json";
const int hugeSize = 3 * 1024 * 1024;

QByteArray encodedImage(const QSize &size, const QColor &color, const char *format)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray stillPng()
{
    return encodedImage(QSize(40, 30), Qt::red, "png");
}

QByteArray photoJpeg()
{
    return encodedImage(QSize(40, 30), Qt::blue, "jpg");
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

Response withDelivery(Response response, Response::Delivery delivery)
{
    response.delivery = delivery;
    return response;
}
} // namespace

void installCannedRoutes(TestHttpServer &server)
{
    registerTestData();
    TestHttpServer *const self = &server;
    const auto fixed = [self](const QByteArray &path, const Response &response) {
        self->route(path, [response](const Request &) { return response; });
    };

    // Pictures.
    fixed("/img/still.png", Response::ok(stillPng(), "image/png"));
    fixed("/img/photo.jpg", Response::ok(photoJpeg(), "image/jpeg"));
    fixed("/img/animated.gif", Response::ok(testData("animated.gif"), "image/gif"));
    fixed("/img/single.gif", Response::ok(testData("single.gif"), "image/gif"));
    fixed("/img/notimage.txt", Response::ok("plain text, not a picture\n", "text/plain"));
    fixed("/img/empty", Response::ok(QByteArray(), "image/png"));
    fixed("/img/close", withDelivery(Response::ok(photoJpeg(), "image/jpeg"), Response::Delivery::CloseMidBody));
    fixed("/img/stall", withDelivery(Response::ok(photoJpeg(), "image/jpeg"), Response::Delivery::NeverComplete));
    // Image readers stop at the end of the picture, so the padding keeps it readable.
    const QByteArray hugeJpeg = photoJpeg().leftJustified(hugeSize, '\0');
    fixed("/img/huge", Response::ok(hugeJpeg, "image/jpeg"));
    fixed("/img/huge-unsized", withDelivery(Response::ok(hugeJpeg, "image/jpeg"), Response::Delivery::Unsized));
    server.route("/img/redirect",
        [self](const Request &) { return Response::redirect(self->url().toUtf8() + "/img/still.png"); });

    // Listings.
    server.route("/r/dankmemes/hot.json", [self](const Request &request) {
        const QByteArray body
            = request.queryItem("after") == "t3_page2" ? secondPage(self->url()) : firstPage(self->url());
        return Response::ok(body, json);
    });
    fixed("/r/dankmemes/cursor.json", Response::ok(listing({}, "t3_cursor"), json));
    fixed("/r/dankmemes/empty.json", Response::ok(R"({"kind":"Listing","data":{"dist":0}})", json));
    fixed("/r/dankmemes/notjson.json", Response::ok("<html><body>Not JSON</body></html>", "text/html"));
    fixed("/r/dankmemes/stall.json",
        withDelivery(Response::ok(listing({}, "t3_stall"), json), Response::Delivery::NeverComplete));
    server.route("/r/dankmemes/nul.json", [self](const Request &) {
        const QByteArray head = listing({ post("Before the NUL", self->url() + "/img/still.png", "image") }, "t3_nul");
        return Response::ok(head + QByteArray(1, '\0') + R"({"after":"t3_hidden"})", json);
    });
    server.route("/r/dankmemes/huge.json", [self](const Request &) {
        QJsonObject big = post("Huge meme", self->url() + "/img/still.png", "image");
        QJsonObject data = big.value("data").toObject();
        data.insert("selftext", QString(hugeSize, QLatin1Char('x')));
        big.insert("data", data);
        return Response::ok(listing({ big }, "t3_huge"), json);
    });
    server.route("/r/dankmemes/close.json", [self](const Request &) {
        return withDelivery(Response::ok(firstPage(self->url()), json), Response::Delivery::CloseMidBody);
    });
    server.route("/r/dankmemes/redirect.json", [self](const Request &) {
        return Response::redirect(self->url().toUtf8() + "/r/dankmemes/hot.json?after=t3_page2");
    });

    for (const int status : { 403, 404, 429, 500 }) {
        const QByteArray name = "status" + QByteArray::number(status);
        fixed("/img/" + name, Response::withStatus(status));
        fixed("/r/dankmemes/" + name + ".json", Response::withStatus(status));
    }
}
