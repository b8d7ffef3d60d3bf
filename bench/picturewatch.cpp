#include "picturewatch.h"

#include "framehook.h"

#include <QMetaMethod>
#include <QMetaProperty>
#include <QQuickItem>
#include <QQuickWindow>

namespace {
// QQuickImageBase::Ready.
const int readyStatus = 1;
} // namespace

PictureWatch::PictureWatch(Finder finder, QObject *parent)
    : QObject(parent)
    , finder(std::move(finder))
{
    connect(&poll, &QTimer::timeout, this, &PictureWatch::look);
    poll.start(1);
}

void PictureWatch::look()
{
    picture = finder();
    if (!picture)
        return;
    poll.stop();
    // Through the property's notifier: the status enum's class is private API. The status changes
    // on the GUI thread before the frame that shows the picture is rendered.
    const QMetaProperty status = picture->metaObject()->property(picture->metaObject()->indexOfProperty("status"));
    const QMetaMethod handler = metaObject()->method(metaObject()->indexOfSlot("onStatusChanged()"));
    connect(picture, status.notifySignal(), this, handler);
    onStatusChanged();
}

void PictureWatch::onStatusChanged()
{
    if (ready != 0 || picture->property("status").toInt() != readyStatus)
        return;
    ready = FrameHook::monotonicNs();
    // Make sure a frame follows, whatever else is going on.
    if (picture->window())
        picture->window()->update();
}
