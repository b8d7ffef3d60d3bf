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
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickStyle>
#include <QSettings>
#include <QTemporaryDir>
#include <QtQuickTest>

namespace {
// Decompression bombs, built when asked for: each takes hundreds of megabytes once decoded. The
// listings that only the page tests need are among the canned routes.
void installPageRoutes(TestHttpServer &server)
{
    server.route("/img/hostile/png20000x20000", [](const TestHttpServer::Request &) {
        return TestHttpServer::Response::ok(HostilePictures::blackPng(20000, 20000, true), "image/png");
    });
}

// One post per picture address that is not on the web, titled by its name, then one whose web
// picture comes through a redirect. The listing names each address in braces; the picture
// addresses exist only here, in the scratch folder and on the server's port.
void installPictureSourceRoutes(TestHttpServer &server, const QString &folder)
{
    QByteArray listing = testData(QStringLiteral("listing-sources.json")).replace("{origin}", server.url().toUtf8());
    for (const auto &picture : nonWebPictures(server, folder))
        listing.replace("{" + picture.first.toUtf8() + "}", picture.second.toUtf8());
    server.route("/r/dankmemes/sources.json", [listing](const TestHttpServer::Request &) {
        return TestHttpServer::Response::ok(listing, "application/json");
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
