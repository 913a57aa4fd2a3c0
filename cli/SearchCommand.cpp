#include "SearchCommand.h"

#include "ArchiveConfig.h"
#include "CommandLine.h"
#include "OptionParser.h"
#include "Terminal.h"
#include "browser/bodysearch/BodySearchPage.h"
#include "browser/rooms/RoomModel.h"
#include "browser/search/BodyIndex.h"
#include "common/Codec.h"
#include "common/ProgramInfo.h"

namespace {

constexpr const char Name[] = "search";
constexpr const char Summary[] = "在帖子内容中查找(使用 quillery index --body 建立的正文索引)";

constexpr const char Help[] =
        "用法: quillery search [选项] [--] 查找内容\n"
        "\n"
        "在帖子的正文中查找,与 Kestrel 的全文查找相同,结果与逐个读取帖子文件\n"
        "查找完全一致。几个词用空格分开时帖子要包含全部的词;\"...\" 括住要连续\n"
        "出现的词句;-词 排除包含它的帖子(这时请在查找内容前写 --,例如\n"
        "quillery search -- 内存 -泄漏)。不区分英文字母的大小写和全角半角。\n"
        "% _ ' \\ 等符号都只是文字。\n"
        "\n"
        "每个找到的帖子输出一行,最新的(帖子ID最大的)在前,各列以制表符分开:\n"
        "  帖子ID  标题  roomid  创建者  创建时间  帖子文件的路径  [摘要]\n"
        "没有的列和空值输出为空;摘要只在 --snippets 时输出,找到的文字在【】中。\n"
        "需要先用 quillery index --body 建立正文索引。\n"
        "\n"
        "选项:\n"
        "      --table TABLE      只查找该帖子表(默认: 树配置文件中的所有帖子表)\n"
        "      --root NAME        只查找该根节点(顶层类型)的帖子表\n"
        "      --room ROOMID      只查找该论坛及其所有子论坛的帖子(需要 --table 或 --root)\n"
        "      --no-subrooms      与 --room 一起: 不包括其子论坛\n"
        "      --limit N          最多输出 N 行(默认: 100)\n"
        "      --count            只输出找到的帖子个数\n"
        "      --snippets         每行加上帖子中第一处找到的文字及其前后的文字\n"
        "      --config FILE      树配置文件(默认: %1)\n"
        "      --connection TEXT  数据库连接字符串(默认取自树配置文件)\n"
        "  -h, --help             显示本帮助\n"
        "      --version          显示版本号\n"
        "\n"
        "退出状态: 0 找到了帖子;1 没有找到,或配置、数据库、索引出错;\n"
        "2 用法错误或无法查找的查找内容。\n";

constexpr const char NeedQuery[] = "缺少查找内容";
constexpr const char Exclusive[] = "--table 和 --root 不能同时使用";
constexpr const char RoomNeedsRoot[] = "--room 需要一个在树配置文件中有的根节点或帖子表";
constexpr const char NoSubRoomsNeedsRoom[] = "--no-subrooms 只能与 --room 一起使用";
constexpr const char BadLimit[] = "--limit 需要一个正整数, 而不是 “%1”";
constexpr const char NoIndex[] = "表 %1 还没有正文索引: 请先运行 quillery index --body 建立。";
constexpr const char Rebuild[] = "(运行 quillery index --body 即可重建)";
constexpr const char MoreHits[] = "共找到 %1 个帖子, 只输出了前 %2 个 (见 --limit)";
constexpr int DefaultLimit = 100;

QString q(const std::string &gbk)
{
    return Gbk::toQString(gbk);
}

// Tabs and line ends inside a value would break the line into columns of their own.
QString cell(const std::string &gbk)
{
    QString text = q(gbk);
    for (QChar &c : text) {
        if (c == u'\t' || c == u'\n' || c == u'\r')
            c = u' ';
    }
    return text;
}

// The scope the options name: a room, a table, or the whole archive. nullopt to go on,
// or the exit status after its report.
std::optional<int> scopeFromOptions(const OptionParser &parser, const RoomModel &rooms,
                                    Terminal &terminal, const QString &command,
                                    std::vector<BodySearchTable> &scope)
{
    if (!parser.isSet(QStringLiteral("table")) && !parser.isSet(QStringLiteral("root"))) {
        scope = ArchiveSearchScope(rooms);
        return std::nullopt;
    }
    ArchiveTable target;
    if (const auto status = ResolveArchiveTable(parser, rooms, terminal, command, target))
        return status;
    if (!parser.isSet(QStringLiteral("room"))) {
        scope = {{target.table, target.rootIndex, {}}};
        return std::nullopt;
    }
    if (target.rootIndex < 0)
        return UsageError(terminal, command, QString::fromUtf8(RoomNeedsRoot));
    BodySearchTable table;
    std::string problem;
    if (!RoomSearchScope(rooms, target.rootIndex,
                         Gbk::fromQString(parser.value(QStringLiteral("room"))),
                         !parser.isSet(QStringLiteral("no-subrooms")), table, problem))
        return CommandFailed(terminal, command, q(problem));
    scope = {table};
    return std::nullopt;
}

} // namespace

Subcommand SearchCommand()
{
    return {Name, Summary, &RunSearchCommand};
}

int RunSearchCommand(const QStringList &arguments, Terminal &terminal)
{
    const QString command = QStringLiteral("quillery search");
    using namespace CommonOptions;
    OptionParser parser(
            JoinOptions({TableOrRoot(), Room(), Archive(), Information(), Values({"limit"}),
                         Flags({"no-subrooms", "count", "snippets"})}));
    // The query is the command's plain arguments: parsed here, not refused as extra.
    if (!parser.parse(arguments))
        return UsageError(terminal, command, parser.error());
    if (parser.isSet(QStringLiteral("help"))) {
        terminal.out(QString::fromUtf8(Help).arg(q(RoomModel::TreeConfigPath(std::nullopt))));
        return ExitStatus::Success;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        terminal.out(ProgramVersionText(command));
        return ExitStatus::Success;
    }
    const std::string typed = Gbk::fromQString(parser.positional().join(u' '));
    if (typed.empty())
        return UsageError(terminal, command, QString::fromUtf8(NeedQuery));
    if (parser.isSet(QStringLiteral("table")) && parser.isSet(QStringLiteral("root")))
        return UsageError(terminal, command, QString::fromUtf8(Exclusive));
    if (parser.isSet(QStringLiteral("no-subrooms")) && !parser.isSet(QStringLiteral("room")))
        return UsageError(terminal, command, QString::fromUtf8(NoSubRoomsNeedsRoom));
    if (parser.isSet(QStringLiteral("room")) && !parser.isSet(QStringLiteral("table"))
        && !parser.isSet(QStringLiteral("root")))
        return UsageError(terminal, command, QString::fromUtf8(RoomNeedsRoot));
    int limit = DefaultLimit;
    if (parser.isSet(QStringLiteral("limit"))) {
        bool ok = false;
        limit = parser.value(QStringLiteral("limit")).toInt(&ok);
        if (!ok || limit < 1)
            return UsageError(
                    terminal, command,
                    QString::fromUtf8(BadLimit).arg(parser.value(QStringLiteral("limit"))));
    }
    SearchQuery query;
    std::string problem;
    if (!ParseSearchQuery(typed, query, problem))
        return UsageError(terminal, command, q(problem));

    RoomModel rooms;
    std::string connection;
    if (const auto status = OpenArchive(parser, terminal, command, rooms, connection))
        return *status;
    std::vector<BodySearchTable> scope;
    if (const auto status = scopeFromOptions(parser, rooms, terminal, command, scope))
        return *status;

    const bool countOnly = parser.isSet(QStringLiteral("count"));
    const bool snippets = parser.isSet(QStringLiteral("snippets"));
    BodySearchPage search(rooms, connection);
    BodySearchPageResult result;
    if (const long code = search.Run(scope, query, 0, countOnly ? 0 : limit, snippets && !countOnly,
                                     result)) {
        if (code == BodyIndex::IndexMissing)
            return CommandFailed(terminal, command,
                                 QString::fromUtf8(NoIndex).arg(q(search.ProblemTable())));
        QString text = q(search.Problem());
        if (code == BodyIndex::IndexOtherVersion)
            text += QString::fromUtf8(Rebuild);
        return CommandFailed(terminal, command, text);
    }
    if (countOnly) {
        terminal.out(QString::number(result.count));
        return result.count > 0 ? ExitStatus::Success : ExitStatus::Failure;
    }
    QString lines;
    for (const BodySearchRow &row : result.rows) {
        QStringList columns {QString::number(row.topicid),
                             cell(row.title),
                             cell(row.roomid),
                             cell(row.author),
                             cell(row.date),
                             cell(row.path)};
        if (snippets)
            columns.push_back(row.hasSnippet ? cell(MarkedSnippet(row.snippet)) : QString());
        lines += columns.join(u'\t') + u'\n';
    }
    if (!lines.isEmpty())
        terminal.out(lines);
    if (result.count > (long long)result.rows.size())
        terminal.err(QString::fromUtf8(MoreHits).arg(result.count).arg(result.rows.size()));
    return result.rows.empty() ? ExitStatus::Failure : ExitStatus::Success;
}
