#include "framehook.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QQuickWindow>

#include <cstdio>
#include <time.h>

namespace {
FrameHook::FrameHandler frameHandler;

// Watches events until the first Qt Quick window turns up, then listens to its frames.
class WindowWatcher : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        Q_UNUSED(event)
        auto *window = qobject_cast<QQuickWindow *>(watched);
        if (!window || hooked)
            return false;
        hooked = true;
        QPointer<QQuickWindow> guarded(window);
        // With the threaded render loop the swap happens on the render thread: take the time there,
        // hand it to the GUI thread.
        QObject::connect(
            window, &QQuickWindow::frameSwapped, window,
            [guarded]() {
                const qint64 swappedAt = FrameHook::monotonicNs();
                QMetaObject::invokeMethod(
                    qApp,
                    [guarded, swappedAt]() {
                        if (guarded)
                            frameHandler(guarded.data(), swappedAt);
                    },
                    Qt::QueuedConnection);
            },
            Qt::DirectConnection);
        return false;
    }

private:
    bool hooked = false;
};

void installWatcher()
{
    QCoreApplication::instance()->installEventFilter(new WindowWatcher(QCoreApplication::instance()));
}
} // namespace

void FrameHook::arm(FrameHandler handler)
{
    frameHandler = std::move(handler);
    qAddPreRoutine(installWatcher);
}

qint64 FrameHook::monotonicNs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void FrameHook::report(const char *name, qint64 value)
{
    std::printf("%s %lld\n", name, static_cast<long long>(value));
    std::fflush(stdout);
}

void FrameHook::quitSoon()
{
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}
