#include "FindCommand.h"

#include "ArchiveConfig.h"
#include "CliTexts.h"
#include "CommandLine.h"
#include "OptionParser.h"
#include "Terminal.h"
#include "browser/db/CAdoManager.h"
#include "browser/posts/PostStatements.h"
#include "browser/posts/TitleIndex.h"
#include "browser/rooms/PostListTexts.h"
#include "browser/rooms/PostPlaceholder.h"
#include "browser/rooms/RoomModel.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/TemplateExpansion.h"
#include "common/TextFormat.h"

namespace {

constexpr const char Name[] = "find";
constexpr const char Summary[] = "按标题或帖子ID查找帖子(与 Kestrel 的“查找帖子”相同)";

constexpr const char Help[] =
        "用法: quillery find (--table 表名 | --root 根节点) [选项]\n"
        "\n"
        "在一个帖子表中按标题或帖子ID查找帖子,与 Kestrel 的“查找帖子”对话框\n"
        "组成同样的查询。每个找到的帖子输出一行,各列以制表符分开:\n"
        "  帖子ID  标题  roomid  创建者  回复  创建时间  帖子文件的路径\n"
        "没有的列和空值输出为空;帖子文件的路径按树配置文件的帖子属性范围计算。\n"
        "\n"
        "选项:\n"
        "      --table TABLE      查找的帖子表\n"
        "      --root NAME        查找该根节点(顶层类型)的帖子表\n"
        "      --room ROOMID      只查找该子论坛及其所有子论坛的帖子\n"
        "      --no-subrooms      与 --room 一起: 不包括其子论坛\n"
        "      --title TEXT       标题中包含的文字;% 分开按顺序出现的多个单词,\n"
        "                         不区分英文字母的大小写\n"
        "      --id TEXT          帖子ID中包含的数字(123 也找到 1234 和 51230)\n"
        "                         没有 --title 和 --id 时列出全部帖子\n"
        "      --count            只输出找到的帖子个数\n"
        "      --config FILE      树配置文件(默认: %1)\n"
        "      --connection TEXT  数据库连接字符串(默认取自树配置文件)\n"
        "  -h, --help             显示本帮助\n"
        "      --version          显示版本号\n"
        "\n"
        "退出状态: 0 成功(也包括没有找到帖子);1 配置、数据库或查询出错;2 用法错误。\n";

constexpr const char NeedTable[] = "需要 --table 或 --root 其中之一";
constexpr const char Exclusive[] = "--%1 和 --%2 不能同时使用";
constexpr const char RoomNeedsRoot[] = "--room 需要一个在树配置文件中有的根节点或帖子表";
constexpr const char NoSubRoomsNeedsRoom[] = "--no-subrooms 只能与 --room 一起使用";
constexpr const char UnknownRoom[] = "根节点 “%1” 下面没有 roomid 为 %2 的子论坛";
constexpr const char ReadFailed[] = "读取查询结果时发生错误: %1";

QString q(const std::string &gbk)
{
    return Gbk::toQString(gbk);
}

// Tabs and line ends inside a value would break the line into columns of their own.
QString cell(const CAdoValue &value)
{
    if (value.IsNull())
        return QString();
    QString text = q(value.Text());
    for (QChar &c : text) {
        if (c == u'\t' || c == u'\n' || c == u'\r')
            c = u' ';
    }
    return text;
}

struct FindRequest
{
    ArchiveTable target;
    FindQueryInput input;
};

// The options to the search: the table and the rooms, the title or the ID. nullopt to go
// on, or the exit status after its report.
std::optional<int> requestFromOptions(const OptionParser &parser, RoomModel &rooms,
                                      Terminal &terminal, const QString &command,
                                      FindRequest &request)
{
    const auto fail = [&](const QString &problem) {
        return CommandFailed(terminal, command, problem);
    };
    ArchiveTable &target = request.target;
    if (const auto status = ResolveArchiveTable(parser, rooms, terminal, command, target))
        return status;

    FindQueryInput &input = request.input;
    input.table = target.table;
    input.byTopicId = parser.isSet(QStringLiteral("id"));
    input.text = Gbk::fromQString(
            parser.value(input.byTopicId ? QStringLiteral("id") : QStringLiteral("title")));
    input.includeSubRooms = !parser.isSet(QStringLiteral("no-subrooms"));
    if (parser.isSet(QStringLiteral("room"))) {
        if (target.rootIndex < 0)
            return UsageError(terminal, command, QString::fromUtf8(RoomNeedsRoot));
        const std::string wanted =
                RoomIdWithoutMarker(Gbk::fromQString(parser.value(QStringLiteral("room"))));
        rooms.ListSubRooms(target.rootIndex, input.subRoomPaths, input.subRoomIds);
        for (std::size_t i = 0; i < input.subRoomIds.size() && input.subRoomEntry == 0; ++i) {
            if (RoomIdWithoutMarker(input.subRoomIds[i]) == wanted)
                input.subRoomEntry = int(i) + 1;
        }
        if (input.subRoomEntry == 0)
            return fail(QString::fromUtf8(UnknownRoom).arg(q(target.rootName), q(wanted)));
    }
    return std::nullopt;
}

// Runs the search and prints its rows, or only their count.
int runAndPrint(RoomModel &rooms, const std::string &connection, const FindRequest &request,
                bool countOnly, Terminal &terminal, const QString &command)
{
    const auto fail = [&](const QString &problem) {
        return CommandFailed(terminal, command, problem);
    };
    const ArchiveTable &target = request.target;
    const FindQueryInput &input = request.input;
    std::string reason;
    BoundStatement statement;
    const bool indexed = !input.byTopicId && TitleIndexExists(connection, input.table);
    if (!ComposeFindQuery(input, DialectOf(connection), statement, reason, indexed))
        return fail(q(reason));

    CAdoManager ado;
    std::unique_ptr<CAdoRecordset> result;
    if (ado.OpenAdoConnection(connection) != 0)
        return fail(QString::fromUtf8(PostListText::OpenFailed) + u'\n' + q(ado.LastError()));
    const long code = ado.ExecuteSql(statement, result, CAdoManager::CommandText);
    ado.CloseAdoConnection();
    if (code != 0)
        return fail(q(FormatText(Gbk::literal(PostListText::QueryFailed).c_str(),
                                 statement.shown().c_str()))
                    + u'\n' + q(ado.LastError()));
    if (countOnly) {
        terminal.out(QString::number(result->RecordCount()));
        return ExitStatus::Success;
    }

    QString lines;
    for (; !result->IsEOF();) {
        const CAdoValue topicid = result->Value("topicid");
        const CAdoValue roomid = result->Value("roomid");
        PostRowInfo info;
        info.title = result->Value("title").Text();
        info.topicidText = topicid.Text();
        long long room = 0;
        if (!roomid.IsNull() && roomid.ToInt64(room)) {
            info.roomid = static_cast<std::uint32_t>(room);
            info.roomname = rooms.FindRoomName(roomid.Text());
        }
        // Templates written for Windows hold "\": print a path this system opens.
        const std::string path = target.rootIndex >= 0
                ? FileSystem::normalize(rooms.LocatePostFile(info, target.rootIndex))
                : std::string();
        QStringList columns {cell(topicid),
                             cell(result->Value("title")),
                             cell(roomid),
                             cell(result->Value("username")),
                             cell(result->Value("reply")),
                             cell(result->Value("createtime")),
                             q(path)};
        lines += columns.join(u'\t') + u'\n';
        if (lines.size() > 65536) {
            terminal.out(lines);
            lines.clear();
        }
        if (const long moved = result->MoveNext()) {
            terminal.out(lines);
            return fail(QString::fromUtf8(ReadFailed)
                                .arg(q(result->LastError().empty() ? std::to_string(moved)
                                                                   : result->LastError())));
        }
    }
    if (!lines.isEmpty())
        terminal.out(lines);
    return ExitStatus::Success;
}

} // namespace

Subcommand FindCommand()
{
    return {Name, Summary, &RunFindCommand};
}

int RunFindCommand(const QStringList &arguments, Terminal &terminal)
{
    const QString command = QStringLiteral("quillery find");
    using namespace CommonOptions;
    OptionParser parser(JoinOptions({TableOrRoot(), Room(), Archive(), Information(),
                                     Values({"title", "id"}), Flags({"no-subrooms", "count"})}));
    if (const auto status = ParseArchiveCommand(parser, arguments, terminal, command, Help))
        return *status;
    for (const auto &[one, other] : {std::pair {"table", "root"}, std::pair {"title", "id"}}) {
        if (parser.isSet(QString::fromLatin1(one)) && parser.isSet(QString::fromLatin1(other)))
            return UsageError(terminal, command,
                              QString::fromUtf8(Exclusive).arg(QString::fromLatin1(one),
                                                               QString::fromLatin1(other)));
    }
    if (!parser.isSet(QStringLiteral("table")) && !parser.isSet(QStringLiteral("root")))
        return UsageError(terminal, command, QString::fromUtf8(NeedTable));
    if (parser.isSet(QStringLiteral("no-subrooms")) && !parser.isSet(QStringLiteral("room")))
        return UsageError(terminal, command, QString::fromUtf8(NoSubRoomsNeedsRoom));

    RoomModel rooms;
    std::string connection;
    if (const auto status = OpenArchive(parser, terminal, command, rooms, connection))
        return *status;
    FindRequest request;
    if (const auto status = requestFromOptions(parser, rooms, terminal, command, request))
        return *status;
    return runAndPrint(rooms, connection, request, parser.isSet(QStringLiteral("count")), terminal,
                       command);
}
