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
