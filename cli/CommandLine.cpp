#include "CommandLine.h"

#include "CliTexts.h"
#include "Subcommand.h"
#include "Terminal.h"
#include "common/ProgramInfo.h"

namespace CommonOptions {

std::vector<OptionDefinition> Information()
{
    return {{QStringLiteral("help"), u'h', false}, {QStringLiteral("version"), QChar(), false}};
}

std::vector<OptionDefinition> Archive()
{
    return Values({"config", "connection"});
}

std::vector<OptionDefinition> TableOrRoot()
{
    return Values({"table", "root"});
}

std::vector<OptionDefinition> Room()
{
    return Values({"room"});
}

std::vector<OptionDefinition> Values(std::initializer_list<const char *> names)
{
    std::vector<OptionDefinition> options;
    for (const char *name : names)
        options.push_back({QString::fromLatin1(name), QChar(), true});
    return options;
}

std::vector<OptionDefinition> Flags(std::initializer_list<const char *> names)
{
    std::vector<OptionDefinition> options;
    for (const char *name : names)
        options.push_back({QString::fromLatin1(name), QChar(), false});
    return options;
}

} // namespace CommonOptions

std::vector<OptionDefinition>
JoinOptions(std::initializer_list<std::vector<OptionDefinition>> groups)
{
    std::vector<OptionDefinition> options;
    for (const std::vector<OptionDefinition> &group : groups)
        options.insert(options.end(), group.begin(), group.end());
    return options;
}

int UsageError(Terminal &terminal, const QString &command, const QString &problem)
{
    terminal.err(command + QStringLiteral(": ") + problem + u'\n'
                 + QString::fromUtf8(CliText::SeeHelp).arg(command));
    return ExitStatus::Usage;
}

int CommandFailed(Terminal &terminal, const QString &command, const QString &problem)
{
    terminal.err(command + QStringLiteral(": ") + problem);
    return ExitStatus::Failure;
}

std::optional<int> RejectCommandLine(OptionParser &parser, const QStringList &arguments,
                                     Terminal &terminal, const QString &command)
{
    if (!parser.parse(arguments))
        return UsageError(terminal, command, parser.error());
    if (!parser.positional().isEmpty())
        return UsageError(
                terminal, command,
                QString::fromUtf8(CliText::ExtraArgument).arg(parser.positional().first()));
    if (parser.isSet(QStringLiteral("version")) && !parser.isSet(QStringLiteral("help"))) {
        terminal.out(ProgramVersionText(command));
        return ExitStatus::Success;
    }
    return std::nullopt;
}
