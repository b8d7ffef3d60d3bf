#include "commandline.h"
#include "startup.h"

int main(int argc, char *argv[])
{
    const CommandLine commandLine(CommandLine::argumentsOf(argc, argv));
    if (commandLine.outcome() != CommandLine::Outcome::Start)
        return commandLine.answer(argc, argv);
    return Startup::run(argc, argv, QStringLiteral("qrc:/main.qml"));
}
