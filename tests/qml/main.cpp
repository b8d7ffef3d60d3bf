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
}

// One post per picture address that is not on the web, titled by its name, then one whose web
// picture comes through a redirect.
void installPictureSourceRoutes(TestHttpServer &server, const QString &folder)
{
    QJsonArray posts;
    for (const auto &picture : nonWebPictures(server, folder))
        posts.append(imagePost(picture.first, picture.second));
    posts.append(imagePost(QStringLiteral("redirect to web"), server.url() + QStringLiteral("/img/redirect")));
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
        installPictureSourceRoutes(server, scratch.path());
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
