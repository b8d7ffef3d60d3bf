#include "quitonsignal.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

int QuitOnSignal::socketPair[2] = { -1, -1 };

QuitOnSignal::QuitOnSignal(QObject *parent)
    : QObject(parent)
{
#ifdef Q_OS_UNIX
    // Only async-signal-safe work may happen in the handler: it writes a byte, the loop does the rest.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, socketPair) != 0)
        return;
    notifier = new QSocketNotifier(socketPair[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &QuitOnSignal::onSignalPending);
    struct sigaction action = {};
    action.sa_handler = &QuitOnSignal::handleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : { SIGTERM, SIGINT, SIGHUP })
        sigaction(signalNumber, &action, nullptr);
#endif
}

QuitOnSignal::~QuitOnSignal()
{
#ifdef Q_OS_UNIX
    if (socketPair[0] < 0)
        return;
    for (int signalNumber : { SIGTERM, SIGINT, SIGHUP })
        std::signal(signalNumber, SIG_DFL);
    ::close(socketPair[0]);
    ::close(socketPair[1]);
    socketPair[0] = socketPair[1] = -1;
#endif
}

void QuitOnSignal::handleSignal(int signalNumber)
{
#ifdef Q_OS_UNIX
    // The interrupted code may be about to look at errno.
    const int savedErrno = errno;
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(socketPair[0], &byte, 1);
    errno = savedErrno;
#else
    Q_UNUSED(signalNumber)
#endif
}

void QuitOnSignal::onSignalPending()
{
#ifdef Q_OS_UNIX
    char byte = 0;
    [[maybe_unused]] const ssize_t read = ::read(socketPair[1], &byte, 1);
#endif
    QCoreApplication::quit();
}
