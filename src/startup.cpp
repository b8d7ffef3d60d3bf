#include "startup.h"

#include "bunker.h"
#include "copypasta.h"
#include "objectlistmodel.h"
#include "picturenetworkaccessmanager.h"
#include "quitonsignal.h"
#include "reddit.h"
#include "sharemanager.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickStyle>
#include <QSettings>
#include <QUrl>
#include <QtQml>

const char *const Startup::organizationDomain = "jestcrate.app";
const char *const Startup::applicationName = "Jest Crate";
const char *const Startup::applicationVersion = JESTCRATE_VERSION;

void Startup::setIdentity(QCoreApplication &application)
{
    application.setOrganizationDomain(QString::fromLatin1(organizationDomain));
    application.setApplicationName(QString::fromLatin1(applicationName));
    application.setApplicationVersion(QString::fromLatin1(applicationVersion));
}

// A process killed between creating a settings lock file and writing its owner into it leaves an
// empty lock, which QLockFile takes for stale only once it is 30 s old: until then every settings
// write of the next start would wait. A lock that names its owner is left to QLockFile, which
// knows whether that process still runs.
void Startup::releaseOrphanedLocks()
{
    for (const QString &store : { QSettings().fileName(), Bunker::settingsPath(), CopyPasta::store().fileName() }) {
        const QFileInfo lock(store + QStringLiteral(".lock"));
        if (lock.isFile() && lock.size() == 0)
            QFile::remove(lock.filePath());
    }
}

void Startup::registerTypes()
{
    qmlRegisterType<Bunker>("Bunker", 1, 0, "Bunker");
    qmlRegisterType<CopyPasta>("CopyPasta", 1, 0, "CopyPasta");
    qmlRegisterType<Reddit>("Reddit", 1, 0, "Reddit");
    qmlRegisterType<ShareManager>("ShareManager", 1, 0, "ShareManager");
}

void Startup::guardPictures(QQmlEngine &engine)
{
    // Stateless and alive until exit, so it outlives every engine it is given to.
    static PictureNetworkAccessManager::Factory factory;
    engine.setNetworkAccessManagerFactory(&factory);
}

int Startup::run(int argc, char **argv, const QString &mainDocument)
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QGuiApplication application(argc, argv);
    setIdentity(application);
    // Names the desktop entry, so that Wayland compositors and docks give the window its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("app.jestcrate.JestCrate"));
    releaseOrphanedLocks();
    // Installed before anything slow happens: a signal that arrives while the document loads is
    // held until the event loop runs and then ends it normally, instead of killing the process.
    QuitOnSignal quitOnSignal;

    // The style can only be chosen before any QML loads, so a new theme applies at the next start.
    QSettings settings;
    settings.beginGroup(QStringLiteral("global"));
    const QString theme = settings.value(QStringLiteral("theme"), QStringLiteral("Material")).toString();
    QQuickStyle::setStyle(theme);

    registerTypes();

    QQmlApplicationEngine engine;
    guardPictures(engine);
    QQmlContext *context = engine.rootContext();
    ObjectListModel model;
    CopyPasta::loadInto(&model);
    context->setContextProperty(QStringLiteral("copypastaModel"), &model);
    engine.load(QUrl(mainDocument, QUrl::TolerantMode));
    if (engine.rootObjects().isEmpty())
        return -1;

    return application.exec();
}
