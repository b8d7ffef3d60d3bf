#include "cannedroutes.h"
#include "copypasta.h"
#include "hostilepictures.h"
#include "objectlistmodel.h"
#include "qmltesthelper.h"
#include "recordingshare.h"
#include "sharemanager.h"
#include "startup.h"
#include "testhttpserver.h"

#include <QCoreApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickStyle>
#include <QSettings>
#include <QTemporaryDir>
#include <QtQuickTest>

namespace {
QByteArray listingOf(const QJsonArray &children)
{
    const QJsonObject data { { "after", QJsonValue::Null }, { "children", children } };
    return QJsonDocument(QJsonObject { { "kind", "Listing" }, { "data", data } }).toJson(QJsonDocument::Compact);
}

QJsonObject imagePost(const QString &title, const QString &url)
{
    return QJsonObject { { "kind", "t3" },
        { "data",
            QJsonObject { { "title", title }, { "url", url }, { "post_hint", "image" }, { "stickied", false } } } };
}

// Listings that only the page tests need: titles as the forum escapes them, and bodies that are
// JSON but not a listing the page can read.
void installPageRoutes(TestHttpServer &server)
{
    const QString picture = server.url() + QStringLiteral("/img/still.png");
    const QByteArray json = "application/json";
    const QByteArray markup = listingOf({
        imagePost(QStringLiteral("<b>Bold</b> &lt;i&gt;claim&lt;/i&gt; <img src=\"") + server.url()
                + QStringLiteral("/img/tracker.png\">"),
            picture),
        imagePost(QStringLiteral("Me &amp; the boys"), picture),
        imagePost(QStringLiteral("&amp;lt; stays &amp;lt; &quot;quoted&quot; &#39;"), picture),
    });
    const QByteArray oddPosts = listingOf({ QJsonValue::Null, QJsonObject { { "kind", "t3" } },
        QJsonObject { { "kind", "t3" }, { "data", QJsonObject { { "post_hint", "image" } } } },
        imagePost(QStringLiteral("Survivor"), picture) });
    const QList<QPair<QByteArray, QByteArray>> bodies {
        { "/r/dankmemes/markup.json", markup },
        { "/r/dankmemes/oddposts.json", oddPosts },
        { "/r/dankmemes/jsonarray.json", R"(["not", "a", "listing"])" },
        { "/r/dankmemes/childrenobject.json", R"({"data":{"children":{"0":{}},"after":null}})" },
    };
    for (const auto &body : bodies) {
        const TestHttpServer::Response response = TestHttpServer::Response::ok(body.second, json);
        // Copied: the route answers every request with it.
        server.route(body.first, [response](const TestHttpServer::Request &) {
            return response; // NOLINT(performance-no-automatic-move)
        });
    }
    // Decompression bombs, built when asked for: each takes hundreds of megabytes once decoded.
    server.route("/img/hostile/png20000x20000", [](const TestHttpServer::Request &) {
        return TestHttpServer::Response::ok(HostilePictures::blackPng(20000, 20000, true), "image/png");
    });
    server.route("/img/hostile/gifscreen10000x20000", [](const TestHttpServer::Request &) {
        return TestHttpServer::Response::ok(HostilePictures::manyFrameGif(2, 10000, 20000), "image/gif");
    });
}

// A listing of one post per picture address that is not on the web, each also behind a redirect,
// and one web picture behind a redirect; titles name the address. The file: address names a real
// picture, so that one read from it would show.
void installPictureSourceRoutes(TestHttpServer &server, const QString &privatePicture)
{
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::red);
    picture.save(privatePicture, "PNG");
    const QString base = server.url();
    const QList<QPair<QString, QString>> elsewhere {
        { QStringLiteral("file"), QString::fromLatin1(QUrl::fromLocalFile(privatePicture).toEncoded()) },
        { QStringLiteral("qrc"), QStringLiteral("qrc:/img/nointernet.jpg") },
        { QStringLiteral("data"),
            QStringLiteral("data:image/png;base64,") + server.fetch("/img/still.png").toBase64() },
        // The test server never greets an FTP client: a picture asked for there would never arrive.
        { QStringLiteral("ftp"), QStringLiteral("ftp://127.0.0.1:%1/img/still.png").arg(server.baseUrl().port()) },
        { QStringLiteral("web"), base + QStringLiteral("/img/still.png") },
    };
    QJsonArray posts;
    for (const auto &target : elsewhere) {
        if (target.first != QLatin1String("web"))
            posts.append(imagePost(target.first, target.second));
        posts.append(imagePost(QStringLiteral("redirect to ") + target.first,
            base + QStringLiteral("/img/redirect-to?to=")
                + QString::fromLatin1(QUrl::toPercentEncoding(target.second))));
    }
    const TestHttpServer::Response response = TestHttpServer::Response::ok(listingOf(posts), "application/json");
    server.route("/r/dankmemes/sources.json", [response](const TestHttpServer::Request &) {
        return response; // NOLINT(performance-no-automatic-move)
    });
}
} // namespace

// Prepares each QML test as the application's start-up would: identity, style, types, the
// copypasta model; and points the feed at a loopback server with canned content.
class Setup : public QObject {
    Q_OBJECT

public slots:
    void applicationAvailable()
    {
        Startup::setIdentity(*QCoreApplication::instance());
        QQuickStyle::setStyle(QStringLiteral("Material"));
        Startup::registerTypes();
        server.listen();
        installCannedRoutes(server);
        installPageRoutes(server);
        installPictureSourceRoutes(server, scratch.filePath(QStringLiteral("private.png")));
        QSettings().setValue(QStringLiteral("trending/origin"), server.url());
        ShareManager::setDefaultPlatform(&share);
    }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        Startup::guardPictures(*engine);
        CopyPasta::loadInto(&model);
        QQmlContext *context = engine->rootContext();
        context->setContextProperty(QStringLiteral("copypastaModel"), &model);
        context->setContextProperty(QStringLiteral("testServer"), &server);
        context->setContextProperty(QStringLiteral("shareRecorder"), &share);
        context->setContextProperty(QStringLiteral("testHelper"), &helper);
    }

private:
    TestHttpServer server;
    RecordingShare share;
    ObjectListModel model;
    QmlTestHelper helper;
    QTemporaryDir scratch;
};

QUICK_TEST_MAIN_WITH_SETUP(jestcrate, Setup)

#include "main.moc"
