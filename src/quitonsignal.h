#pragma once

#include <QObject>

class QSocketNotifier;

// Ends the event loop normally on SIGTERM, SIGINT or SIGHUP (session logout, Ctrl+C, a test
// harness), so that settings are flushed and the process exits with 0 instead of being killed.
class QuitOnSignal : public QObject {
    Q_OBJECT

public:
    explicit QuitOnSignal(QObject *parent = nullptr);
    ~QuitOnSignal() override;

private slots:
    void onSignalPending();

private:
    static void handleSignal(int signalNumber);

    QSocketNotifier *notifier = nullptr;
    static int socketPair[2];
};
