#include "framehook.h"
#include "picturewatch.h"
#include "startup.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <vector>

// The application's own start-up, run by the benchmarks with a frame hook: it reports when the
// main window swaps its first frame, when the Bunker page swaps its first frame after being
// pushed, or how much memory the feed holds after it has shown every card. The application has no
// options of its own; everything a benchmark needs lives in this launcher.
namespace {
enum class Mode { Startup, BunkerPage, Feed, FirstMeme };

Mode mode = Mode::Startup;
// A frame is reported once nothing has been drawn for this long: no animation runs any more.
const int settleMs = 700;
const int pictureTimeoutMs = 20000;

qint64 statusField(const char *name)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(name) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

QQuickItem *findPicture(QQuickItem *item)
{
    // The card's picture is the one asynchronous image; button icons load synchronously.
    if (item->inherits("QQuickImage") && item->property("asynchronous").toBool())
        return item;
    for (QQuickItem *child : item->childItems()) {
        if (QQuickItem *picture = findPicture(child))
            return picture;
    }
    return nullptr;
}

// The picture of the feed's first card, once that card exists.
QQuickItem *firstCardPicture(QQuickWindow *window)
{
    auto *stack = window->findChild<QQuickItem *>(QStringLiteral("stack"));
    auto *feed = stack ? stack->property("currentItem").value<QQuickItem *>() : nullptr;
    QQuickItem *card = nullptr;
    if (feed)
        QMetaObject::invokeMethod(feed, "itemAtIndex", Q_RETURN_ARG(QQuickItem *, card), Q_ARG(int, 0));
    return card ? findPicture(card) : nullptr;
}

// Scrolls the feed card by card, waiting for each card's picture, then reports resident memory.
class FeedWalker : public QObject {
public:
    explicit FeedWalker(QQuickWindow *window)
        : window(window)
    {
        connect(&poll, &QTimer::timeout, this, &FeedWalker::step);
        poll.start(20);
    }

private:
    QQuickItem *list() const
    {
        auto *stack = window->findChild<QQuickItem *>(QStringLiteral("stack"));
        return stack ? stack->property("currentItem").value<QQuickItem *>() : nullptr;
    }

    void step()
    {
        QQuickItem *view = list();
        if (!view)
            return;
        const int count = view->property("count").toInt();
        if (count == 0)
            return;
        if (!positioned) {
            QMetaObject::invokeMethod(view, "positionViewAtIndex", Q_ARG(int, index), Q_ARG(int, 0));
            positioned = true;
            waited.start();
        }
        QQuickItem *card = nullptr;
        QMetaObject::invokeMethod(view, "itemAtIndex", Q_RETURN_ARG(QQuickItem *, card), Q_ARG(int, index));
        QQuickItem *picture = card ? findPicture(card) : nullptr;
        const int status = picture ? picture->property("status").toInt() : 0;
        // Ready or Error: this card is done.
        if (status != 1 && status != 3 && waited.elapsed() < pictureTimeoutMs)
            return;
        if (status == 1)
            ++shown;
        ++index;
        positioned = false;
        if (index < count)
            return;
        poll.stop();
        FrameHook::report("cards", shown);
        FrameHook::report("rss_kib", statusField("VmRSS"));
        FrameHook::report("hwm_kib", statusField("VmHWM"));
        FrameHook::quitSoon();
    }

    QQuickWindow *window;
    QTimer poll;
    QElapsedTimer waited;
    int index = 0;
    int shown = 0;
    bool positioned = false;
};

class FrameObserver : public QObject {
public:
    void onFrame(QQuickWindow *window, qint64 swappedAt)
    {
        ++frames;
        if (mode == Mode::Startup) {
            if (frames == 1) {
                FrameHook::report("first_frame_ns", swappedAt);
                FrameHook::quitSoon();
            }
            return;
        }
        if (mode == Mode::Feed) {
            if (!walker)
                walker = new FeedWalker(window);
            return;
        }
        if (mode == Mode::FirstMeme) {
            if (!watch)
                watch = new PictureWatch([window]() { return firstCardPicture(window); }, this);
            if (!reported && watch->readyAt() > 0 && swappedAt > watch->readyAt()) {
                reported = true;
                FrameHook::report("first_meme_ns", swappedAt);
                FrameHook::quitSoon();
            }
            return;
        }
        if (pushedAt > 0) {
            if (swappedAt > pushedAt && !reported) {
                reported = true;
                FrameHook::report("page_frame_ns", swappedAt - pushedAt);
                FrameHook::quitSoon();
            }
            return;
        }
        if (!settle) {
            settle = new QTimer(this);
            settle->setSingleShot(true);
            connect(settle, &QTimer::timeout, this, [this, window]() { pushBunker(window); });
        }
        settle->start(settleMs);
    }

private:
    void pushBunker(QQuickWindow *window)
    {
        pushedAt = FrameHook::monotonicNs();
        // The drawer's second entry, as a user's click chooses it.
        const bool called = QMetaObject::invokeMethod(
            window, "chooseDrawerEntry", Q_ARG(QVariant, 1), Q_ARG(QVariant, QStringLiteral("qrc:/Bunker.qml")));
        FrameHook::report("push_call_ns", FrameHook::monotonicNs() - pushedAt);
        auto *stack = window->findChild<QQuickItem *>(QStringLiteral("stack"));
        auto *page = stack ? stack->property("currentItem").value<QQuickItem *>() : nullptr;
        // A page that did not come up would make the figure meaningless.
        if (!called || !page || !page->property("count").isValid()) {
            std::fprintf(stderr, "the Bunker page was not pushed\n");
            QCoreApplication::exit(1);
            return;
        }
        FrameHook::report("page_rows", page->property("count").toInt());
        // Nothing may have changed on screen if the page failed; make sure a frame still comes.
        window->update();
    }

    QTimer *settle = nullptr;
    FeedWalker *walker = nullptr;
    PictureWatch *watch = nullptr;
    qint64 pushedAt = 0;
    int frames = 0;
    bool reported = false;
};
} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s startup|bunkerpage|feed|firstmeme [Qt options]\n", argv[0]);
        return 2;
    }
    if (std::strcmp(argv[1], "bunkerpage") == 0)
        mode = Mode::BunkerPage;
    else if (std::strcmp(argv[1], "feed") == 0)
        mode = Mode::Feed;
    else if (std::strcmp(argv[1], "firstmeme") == 0)
        mode = Mode::FirstMeme;
    else if (std::strcmp(argv[1], "startup") != 0) {
        std::fprintf(stderr, "unknown mode %s\n", argv[1]);
        return 2;
    }
    std::vector<char *> arguments { argv[0] };
    arguments.insert(arguments.end(), argv + 2, argv + argc);
    arguments.push_back(nullptr);
    int count = argc - 1;

    FrameObserver observer;
    FrameHook::arm([&observer](QQuickWindow *window, qint64 swappedAt) { observer.onFrame(window, swappedAt); });
    return Startup::run(count, arguments.data(), QStringLiteral("qrc:/main.qml"));
}
