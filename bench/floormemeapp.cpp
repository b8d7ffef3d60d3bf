#include "framehook.h"
#include "picturewatch.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickWindow>

#include <cstdio>

// The floor of the time-to-first-meme benchmark: the listing at the origin given as the first
// argument, fetched by a bare Qt Quick window that shows its first picture with a plain Image;
// reports the first frame swapped after that picture became ready.
int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s ORIGIN [Qt options]\n", argv[0]);
        return 2;
    }
    PictureWatch *watch = nullptr;
    FrameHook::arm([&watch](QQuickWindow *window, qint64 swappedAt) {
        static bool reported = false;
        if (!watch) {
            watch = new PictureWatch(
                [window]() { return window->findChild<QQuickItem *>(QStringLiteral("picture")); }, qApp);
        }
        if (reported || watch->readyAt() == 0 || swappedAt <= watch->readyAt())
            return;
        reported = true;
        FrameHook::report("first_meme_ns", swappedAt);
        FrameHook::quitSoon();
    });
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QGuiApplication application(argc, argv);
    QQmlApplicationEngine engine;
    engine.rootContext()->setContextProperty(QStringLiteral("listingOrigin"), QString::fromLocal8Bit(argv[1]));
    engine.load(QUrl(QStringLiteral("qrc:/floormeme.qml")));
    if (engine.rootObjects().isEmpty())
        return -1;
    return application.exec();
}
