#include "demofeed.h"
#include "firstcardsshot.h"
#include "quitonsignal.h"
#include "testhttpserver.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QStringList>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {
const char usage[] = "usage: jestcrate-demo serve [--atom-only]\n"
                     "       jestcrate-demo screenshot FILE PROGRAM [ARGUMENT...]\n"
                     "serve: serves the demo feed on 127.0.0.1 and prints its address; ends on SIGTERM or Ctrl+C.\n"
                     "       --atom-only: the JSON listings answer 403, as the live forum does.\n"
                     "screenshot: starts PROGRAM, saves the screen as FILE (PNG) once its first meme cards\n"
                     "show, then ends PROGRAM with SIGTERM; exits with 0 only if both went well.\n";

int serve(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    TestHttpServer server;
    if (!server.listen()) {
        std::fprintf(stderr, "jestcrate-demo: cannot listen on 127.0.0.1\n");
        return 1;
    }
    installDemoRoutes(server, application.arguments().contains(QStringLiteral("--atom-only")));
    std::printf("%s\n", qPrintable(server.url()));
    std::fflush(stdout);
    QuitOnSignal quitOnSignal;
    return application.exec();
}

int screenshot(int argc, char **argv)
{
    QGuiApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(2);
    if (arguments.size() < 2) {
        std::fputs(usage, stderr);
        return 2;
    }
    FirstCardsShot shot(arguments.at(0));
    QObject::connect(&shot, &FirstCardsShot::finished, &application,
        [&application](bool success) { application.exit(success ? 0 : 1); });
    shot.start(arguments.at(1), arguments.mid(2));
    const int status = shot.failureMessage().isEmpty() ? application.exec() : 1;
    if (status == 0)
        std::printf("%s\n", qPrintable(shot.screenshotPath()));
    else
        std::fprintf(stderr, "jestcrate-demo: %s\n", qPrintable(shot.failureMessage()));
    return status;
}
} // namespace

int main(int argc, char **argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "serve") == 0)
        return serve(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "screenshot") == 0)
        return screenshot(argc, argv);
    std::fputs(usage, stderr);
    return 2;
}
