#include "cannedroutes.h"
#include "copypasta.h"
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
#include <QtQuickTest>

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
        QSettings().setValue(QStringLiteral("trending/origin"), server.url());
        ShareManager::setDefaultPlatform(&share);
    }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
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
};

QUICK_TEST_MAIN_WITH_SETUP(jestcrate, Setup)

#include "main.moc"
