#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTimer>

// What one frame of the screen shows, as far as telling "the first meme cards are up" from
// "still loading" goes: the teal of the card buttons and the colours of the pictures.
struct FrameSummary {
    int tealPixels = 0;
    int colourfulPixels = 0;
    int distinctColours = 0; // counted up to 256

    static FrameSummary of(const QImage &frame);

    bool showsCards() const;
    bool blank() const { return distinctColours < 8; }
};

// Starts the application on the current X display, grabs the screen a few times a second until
// card buttons and pictures are shown and the picture has stopped changing (no spinner runs),
// saves that frame as PNG and ends the application with SIGTERM, as a session would. Used by the
// demo's headless mode and by the smoke test.
class FirstCardsShot : public QObject {
    Q_OBJECT

public:
    explicit FirstCardsShot(const QString &screenshotPath, QObject *parent = nullptr);

    void start(const QString &program, const QStringList &arguments = {});
    void setTimeout(int milliseconds) { timeoutMs = milliseconds; }

    bool succeeded() const { return failure.isEmpty() && saved; }
    QString failureMessage() const { return failure; }
    QString screenshotPath() const { return path; }

signals:
    void finished(bool success);

private slots:
    void grabFrame();
    void onApplicationFinished(int exitCode, QProcess::ExitStatus exitStatus);

private:
    static QImage windowArea(const QImage &screen);
    void stopApplication();
    void fail(const QString &message);

    QString path;
    QProcess application;
    QTimer grabTimer;
    QTimer killTimer;
    QElapsedTimer clock;
    QImage previousFrame;
    QString failure;
    int timeoutMs = 30000;
    int stableFrames = 0;
    bool saved = false;
    bool stopping = false;
};
