#include "ArchiveConfig.h"

#include "CommandLine.h"
#include "OptionParser.h"
#include "browser/db/EmbeddedDatabase.h"
#include "browser/rooms/PostPlaceholder.h"
#include "browser/rooms/RoomModel.h"
#include "cli/Subcommand.h"
#include "cli/Terminal.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/TemplateExpansion.h"

#include <QFileInfo>

namespace {
constexpr const char ConfigFailed[] = "无法读取树配置文件 %1: %2";
constexpr const char UnknownRoot[] = "树配置文件中没有名为 “%1” 的根节点";
constexpr const char RootWithoutTable[] = "根节点 “%1” 没有帖子表(TABLE)";
} // namespace

std::optional<int> ResolveArchiveTable(const OptionParser &parser, const RoomModel &rooms,
                                       Terminal &terminal, const QString &command,
                                       ArchiveTable &target)
{
    std::vector<std::string> names, tables;
    rooms.ListRootRooms(names, tables, nullptr);
    if (parser.isSet(QStringLiteral("root"))) {
        target.rootName = Gbk::fromQString(parser.value(QStringLiteral("root")));
        for (std::size_t i = 0; i < names.size() && target.rootIndex < 0; ++i) {
            if (names[i] == target.rootName)
                target.rootIndex = int(i);
        }
        if (target.rootIndex < 0)
            return CommandFailed(
                    terminal, command,
                    QString::fromUtf8(UnknownRoot).arg(Gbk::toQString(target.rootName)));
        target.table = tables[std::size_t(target.rootIndex)];
        if (target.table.empty())
            return CommandFailed(
                    terminal, command,
                    QString::fromUtf8(RootWithoutTable).arg(Gbk::toQString(target.rootName)));
        return std::nullopt;
    }
    target.table = Gbk::fromQString(parser.value(QStringLiteral("table")));
    for (std::size_t i = 0; i < tables.size() && target.rootIndex < 0; ++i) {
        if (tables[i] == target.table) {
            target.rootIndex = int(i);
            target.rootName = names[i];
        }
    }
    return std::nullopt;
}

bool LoadArchiveConfig(const OptionParser &parser, const std::string &defaultConfig,
                       RoomModel &rooms, std::string &connection, QString &problem)
{
    const std::string configPath = parser.isSet(QStringLiteral("config"))
            ? FileSystem::fromQtPath(
                    QFileInfo(parser.value(QStringLiteral("config"))).absoluteFilePath())
            : defaultConfig;
    std::string reason;
    if (!rooms.LoadTreeConfig(configPath, &reason)) {
        problem = QString::fromUtf8(ConfigFailed)
                          .arg(Gbk::toQString(configPath), Gbk::toQString(reason));
        return false;
    }
    connection = rooms.GetConnectionString();
    if (parser.isSet(QStringLiteral("connection"))) {
        connection.clear();
        ExpandTemplate(Gbk::fromQString(parser.value(QStringLiteral("connection"))), connection,
                       nullptr, commonKind, ResolvePostPlaceholder);
    }
    // A new embedded archive is made with the configuration's post tables, as Kestrel and
    // the import make it, so a first search finds it empty instead of missing. A database
    // that cannot be made is reported by the open that follows.
    std::vector<std::string> names, tables, postTables;
    rooms.ListRootRooms(names, tables, nullptr);
    for (const std::string &table : tables) {
        if (!table.empty())
            postTables.push_back(table);
    }
    std::string why;
    EnsureEmbeddedDatabase(connection, postTables, why);
    return true;
}

std::optional<int> ParseArchiveCommand(OptionParser &parser, const QStringList &arguments,
                                       Terminal &terminal, const QString &command, const char *help)
{
    if (const auto status = RejectCommandLine(parser, arguments, terminal, command))
        return status;
    if (parser.isSet(QStringLiteral("help"))) {
        terminal.out(QString::fromUtf8(help).arg(
                Gbk::toQString(RoomModel::TreeConfigPath(std::nullopt))));
        return ExitStatus::Success;
    }
    return std::nullopt;
}

std::optional<int> OpenArchive(const OptionParser &parser, Terminal &terminal,
                               const QString &command, RoomModel &rooms, std::string &connection)
{
    QString problem;
    if (!LoadArchiveConfig(parser, RoomModel::TreeConfigPath(std::nullopt), rooms, connection,
                           problem))
        return CommandFailed(terminal, command, problem);
    return std::nullopt;
}
