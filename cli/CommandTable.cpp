#include "ClassifyCommand.h"
#include "CliTexts.h"
#include "CommandLine.h"
#include "FindCommand.h"
#include "GapsCommand.h"
#include "ImportCommand.h"
#include "IndexCommand.h"
#include "SearchCommand.h"
#include "Subcommand.h"
#include "Terminal.h"
#include "UrlsCommand.h"
#include "common/AppFolders.h"
#include "common/Codec.h"
#include "common/CommonTexts.h"
#include "common/ProgramInfo.h"

namespace {

QString generalUsage()
{
    QString usage = QString::fromUtf8(CliText::Usage);
    for (const Subcommand &command : Subcommands()) {
        usage += QStringLiteral("  %1  %2\n")
                         .arg(QString::fromUtf8(command.name), -10)
                         .arg(QString::fromUtf8(command.summary));
    }
    return usage + QString::fromUtf8(CliText::UsageFooter)
            + QString::fromUtf8(CommonText::FilesHelp);
}

// Help and the version need no data folder: they work with a read-only home too.
bool asksForInformation(const QStringList &arguments)
{
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--"))
            return false;
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")
            || argument == QLatin1String("--version"))
            return true;
    }
    return false;
}

const Subcommand *findCommand(const QString &name)
{
    for (const Subcommand &command : Subcommands()) {
        if (name == QString::fromUtf8(command.name))
            return &command;
    }
    return nullptr;
}

} // namespace

const std::vector<Subcommand> &Subcommands()
{
    static const std::vector<Subcommand> commands {
            UrlsCommand(),  ClassifyCommand(), FindCommand(), SearchCommand(),
            IndexCommand(), ImportCommand(),   GapsCommand(),
    };
    return commands;
}

int RunCommandLine(const QStringList &arguments, Terminal &terminal)
{
    const QString program = QStringLiteral("quillery");
    if (arguments.isEmpty()) {
        terminal.err(program + QStringLiteral(": ") + QString::fromUtf8(CliText::MissingCommand)
                     + u'\n' + generalUsage());
        return ExitStatus::Usage;
    }
    const QString &first = arguments.first();
    if (first == QLatin1String("--help") || first == QLatin1String("-h")
        || (first == QLatin1String("help") && arguments.size() == 1)) {
        terminal.out(generalUsage());
        return ExitStatus::Success;
    }
    if (first == QLatin1String("--version")) {
        terminal.out(ProgramVersionText(program));
        return ExitStatus::Success;
    }
    // "quillery help urls" is "quillery urls --help".
    if (first == QLatin1String("help")) {
        const Subcommand *command = findCommand(arguments.at(1));
        if (!command)
            return UsageError(terminal, program,
                              QString::fromUtf8(CliText::UnknownCommand).arg(arguments.at(1)));
        return command->run({QStringLiteral("--help")}, terminal);
    }
    const Subcommand *command = findCommand(first);
    if (!command)
        return UsageError(terminal, program, QString::fromUtf8(CliText::UnknownCommand).arg(first));
    std::string problem;
    if (!asksForInformation(arguments)
        && !AppFolders::PrepareDataFolder(AppFolders::CurrentLayout(), problem)) {
        terminal.err(program + QStringLiteral(": ") + Gbk::toQString(problem));
        return ExitStatus::Failure;
    }
    return command->run(arguments.mid(1), terminal);
}
