#pragma once

#include <QtGlobal>

#include <functional>

class QQuickWindow;

// Lets a benchmark launcher see the frames of the first Qt Quick window its process shows, without
// the program itself knowing: arm() before the application object exists, and every frame swapped
// of that window is reported on the GUI thread with the monotonic time of the swap.
namespace FrameHook {
using FrameHandler = std::function<void(QQuickWindow *window, qint64 swappedAtNs)>;

void arm(FrameHandler handler);

// Nanoseconds of CLOCK_MONOTONIC, the clock that the driver reads before it starts the process.
qint64 monotonicNs();

// One "name value" line on standard output, flushed at once: the driver reads it as it comes.
void report(const char *name, qint64 value);
// Ends the event loop once the current frame's handling is over.
void quitSoon();
} // namespace FrameHook
