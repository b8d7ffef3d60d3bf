#include "cannedroutes.h"

#include "testhttpserver.h"

#include <QBuffer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
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
} // namespace

void installCannedRoutes(TestHttpServer &server)
{
    const QString base = server.url();
    server.route("/img/still.png", [](const TestHttpServer::Request &) {
        return TestHttpServer::Response::ok(encodedImage(QSize(40, 30), Qt::red, "png"), "image/png");
    });
    server.route("/img/photo.jpg", [](const TestHttpServer::Request &) {
        return TestHttpServer::Response::ok(encodedImage(QSize(40, 30), Qt::blue, "jpg"), "image/jpeg");
    });
    server.route("/r/dankmemes/hot.json", [base](const TestHttpServer::Request &request) {
        if (request.queryItem("after") == "t3_page2") {
            const QJsonArray children { post("Second page meme", base + "/img/photo.jpg", "image") };
            return TestHttpServer::Response::ok(listing(children, QJsonValue::Null), "application/json");
        }
        const QJsonArray children {
            post("Pinned rules", base + "/img/still.png", "image", true),
            post("First meme", base + "/img/still.png", "image"),
            post("A link post", base + "/article", "link"),
            post("No hint at all", base + "/img/still.png", QString()),
            post("Second meme", base + "/img/photo.jpg", "image"),
        };
        return TestHttpServer::Response::ok(listing(children, "t3_page2"), "application/json");
    });
}
