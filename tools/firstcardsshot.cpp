#include "firstcardsshot.h"

#include <QColor>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QSet>

namespace {
// The Material teal of the card buttons (Material.color(Material.Teal)).
const QColor buttonTeal(0x00, 0x96, 0x88);
const int grabIntervalMs = 250;
// Three equal grabs in a row: nothing spins and no picture is still arriving.
const int framesToSettle = 3;
const int exitGraceMs = 10000;

bool isButtonTeal(QRgb pixel)
{
    return qAbs(qRed(pixel) - buttonTeal.red()) <= 12 && qAbs(qGreen(pixel) - buttonTeal.green()) <= 12
        && qAbs(qBlue(pixel) - buttonTeal.blue()) <= 12;
}
} // namespace

FrameSummary FrameSummary::of(const QImage &frame)
{
    FrameSummary summary;
    const QImage image = frame.convertToFormat(QImage::Format_RGB32);
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = line[x];
            if (colours.size() < 256)
                colours.insert(pixel);
            if (isButtonTeal(pixel)) {
                ++summary.tealPixels;
                continue;
            }
            const QColor colour(pixel);
            if (colour.hsvSaturation() > 90 && colour.value() > 60)
                ++summary.colourfulPixels;
        }
    }
    summary.distinctColours = colours.size();
    return summary;
}

bool FrameSummary::showsCards() const
{
    // Two buttons of one card are about 6000 teal pixels; a picture is tens of thousands.
    return tealPixels >= 3000 && colourfulPixels >= 15000;
}

FirstCardsShot::FirstCardsShot(const QString &screenshotPath, QObject *parent)
    : QObject(parent)
    , path(screenshotPath)
{
    application.setProcessChannelMode(QProcess::ForwardedChannels);
    connect(&application, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
        &FirstCardsShot::onApplicationFinished);
    connect(&grabTimer, &QTimer::timeout, this, &FirstCardsShot::grabFrame);
    killTimer.setSingleShot(true);
    connect(&killTimer, &QTimer::timeout, &application, &QProcess::kill);
}

void FirstCardsShot::start(const QString &program, const QStringList &arguments)
{
    clock.start();
    application.start(program, arguments);
    if (!application.waitForStarted()) {
        fail(QStringLiteral("could not start %1: %2").arg(program, application.errorString()));
        emit finished(false);
        return;
    }
    grabTimer.start(grabIntervalMs);
}

QImage FirstCardsShot::windowArea(const QImage &screen)
{
    // Without a window manager the window sits on a black root window: keep what is not black.
    QRect area;
    for (int y = 0; y < screen.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(screen.constScanLine(y));
        for (int x = 0; x < screen.width(); ++x) {
            if ((line[x] & 0xffffff) != 0)
                area |= QRect(x, y, 1, 1);
        }
    }
    return area.isEmpty() ? screen : screen.copy(area);
}

void FirstCardsShot::grabFrame()
{
    if (stopping)
        return;
    QScreen *screen = QGuiApplication::primaryScreen();
    const QImage frame = windowArea(screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32));
    if (FrameSummary::of(frame).showsCards() && frame == previousFrame)
        ++stableFrames;
    else
        stableFrames = 0;
    previousFrame = frame;

    if (stableFrames + 1 >= framesToSettle) {
        saved = frame.save(path, "PNG");
        if (!saved)
            fail(QStringLiteral("could not write %1").arg(path));
        stopApplication();
    } else if (clock.elapsed() > timeoutMs) {
        // The last frame still helps to see what went wrong.
        frame.save(path, "PNG");
        fail(QStringLiteral("no meme cards on the screen within %1 s").arg(timeoutMs / 1000));
        stopApplication();
    }
}

void FirstCardsShot::stopApplication()
{
    stopping = true;
    grabTimer.stop();
    application.terminate();
    killTimer.start(exitGraceMs);
}

void FirstCardsShot::onApplicationFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    grabTimer.stop();
    killTimer.stop();
    if (!stopping)
        fail(QStringLiteral("the application ended before its cards were shown (exit code %1)").arg(exitCode));
    else if (exitStatus != QProcess::NormalExit || exitCode != 0)
        fail(QStringLiteral("the application did not quit cleanly on SIGTERM (exit code %1, %2)")
                 .arg(exitCode)
                 .arg(exitStatus == QProcess::NormalExit ? QStringLiteral("normal exit")
                                                         : QStringLiteral("crashed or killed")));
    emit finished(succeeded());
}

void FirstCardsShot::fail(const QString &message)
{
    if (failure.isEmpty())
        failure = message;
}
