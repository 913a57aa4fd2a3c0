#include "cli/Subcommand.h"
#include "cli/Terminal.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillery"));
    Terminal terminal;
    return RunCommandLine(terminal.decodeArguments(argc - 1, argv + 1), terminal);
}
