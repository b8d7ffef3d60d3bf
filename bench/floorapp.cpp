#include "framehook.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickStyle>

// The floor of the start-up benchmark: the least a Qt Quick Controls 2 Material application does
// before its first frame, measured with the same frame hook as the application.
int main(int argc, char *argv[])
{
    FrameHook::arm([](QQuickWindow *, qint64 swappedAt) {
        static bool reported = false;
        if (reported)
            return;
        reported = true;
        FrameHook::report("first_frame_ns", swappedAt);
        FrameHook::quitSoon();
    });
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QGuiApplication application(argc, argv);
    QQuickStyle::setStyle(QStringLiteral("Material"));
    QQmlApplicationEngine engine;
    engine.load(QUrl(QStringLiteral("qrc:/floor.qml")));
    if (engine.rootObjects().isEmpty())
        return -1;
    return application.exec();
}
