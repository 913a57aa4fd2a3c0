#include "IndexCommand.h"

#include "ArchiveConfig.h"
#include "BodyIndexCommand.h"
#include "CliTexts.h"
#include "CommandLine.h"
#include "OptionParser.h"
#include "Terminal.h"
#include "browser/db/CAdoManager.h"
#include "browser/posts/TitleIndex.h"
#include "browser/rooms/PostPlaceholder.h"
#include "browser/rooms/RoomModel.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/TemplateExpansion.h"

#include <QElapsedTimer>

#include <algorithm>
#include <atomic>
#include <csignal>

namespace {

constexpr const char Name[] = "index";
constexpr const char Summary[] = "为帖子表建立标题索引或正文索引(供 quillery search 查找帖子内容)";

constexpr const char Help[] =
        "用法: quillery index (--title | --body) [选项]\n"
        "\n"
        "为帖子表的标题建立索引(已有的会重建),使三个字以上的标题查找在大库中\n"
        "也很快; Kestrel 的“查找帖子”和 quillery find 在有索引时自动使用它,\n"
        "找到的帖子与没有索引时完全相同。\n"
        "  SQLite:     FTS5 三字(trigram)索引表 <表名>_title_trigram,由触发器随表更新\n"
        "  PostgreSQL: pg_trgm GIN 索引 <表名>_title_trigram(需要 pg_trgm 扩展)\n"
        "\n"
        "--body 建立或更新正文索引: 按树配置文件的帖子属性范围读取每个帖子的文件,\n"
        "只读取还没有编入索引或文件已改变(大小、修改时间)的帖子,并删除表中已不\n"
        "存在的帖子的索引。正文索引保存在帖子数据库中,quillery search 和 Kestrel\n"
        "的全文查找使用它;导入和删除帖子时它随之更新。无法读取的帖子文件各报告\n"
        "一行,不中断建立。\n"
        "\n"
        "选项:\n"
        "      --title            建立标题索引\n"
        "      --body             建立或更新正文索引\n"
        "      --table TABLE      只处理该帖子表(默认: 树配置文件中的所有帖子表)\n"
        "      --root NAME        只处理该根节点的帖子表\n"
        "      --drop             删除该种索引,而不是建立\n"
        "      --config FILE      树配置文件(默认: %1)\n"
        "      --connection TEXT  数据库连接字符串(默认取自树配置文件)\n"
        "  -h, --help             显示本帮助\n"
        "      --version          显示版本号\n"
        "\n"
        "建立过程在标准错误上显示进度(个数、速度、剩余时间);按 Ctrl+C 中止:\n"
        "标题索引保持原样,正文索引保留已编入的部分,再次运行时继续。\n"
        "退出状态: 0 成功;1 出错或被中止;2 用法错误。\n";

constexpr const char NeedKind[] = "需要 --title 或 --body 其中之一";
constexpr const char Exclusive[] = "--table 和 --root 不能同时使用";
constexpr const char UnknownRoot[] = "树配置文件中没有名为 “%1” 的根节点";
constexpr const char NoTables[] = "没有要处理的帖子表";
constexpr const char Progress[] = "%1: %2/%3 行 (%4%), 每秒 %5 行, 还需约 %6 秒";
constexpr const char Built[] = "%1: 标题索引已建立 (%2 行, %3 秒)";
constexpr const char Dropped[] = "%1: 标题索引已删除";
constexpr const char Stopped[] = "%1: 已中止, 该表保持原样";
constexpr const char Failed[] = "%1: 失败: %2";
constexpr const char NoChineseTrigrams[] =
        "警告: 该数据库的字符分类(LC_CTYPE)不把汉字当作文字,pg_trgm 不为中文标题建立三字索引;"
        "查找的结果仍然正确,只是中文标题的查找不会变快。请在 LC_CTYPE 为 UTF-8 区域"
        "(例如 C.UTF-8 或 zh_CN.UTF-8)的数据库中使用。";
constexpr const char ChineseSample[] = "中文标题";

std::atomic<bool> stopRequested {false};

extern "C" void requestStop(int)
{
    stopRequested = true;
}

QString q(const std::string &gbk)
{
    return Gbk::toQString(gbk);
}

// pg_trgm makes trigrams of what the database's character classification calls letters.
bool trigramsOfChinese(CAdoManager &ado)
{
    std::unique_ptr<CAdoRecordset> rs;
    const BoundStatement probe {"select coalesce(array_length(show_trgm(?), 1), 0)",
                                {SqlValue::fromText(Gbk::literal(ChineseSample))},
                                {}};
    long long count = 1;
    if (ado.ExecuteSql(probe, rs, CAdoManager::CommandText) == 0 && rs->IsOpen() && !rs->IsEOF())
        rs->Value(0).ToInt64(count);
    return count > 0;
}

// The tables the options name: --table, the table of --root, or every post table of the
// configuration. nullopt to go on, or the exit status after its report.
std::optional<int> tablesFromOptions(const OptionParser &parser, const RoomModel &rooms,
                                     Terminal &terminal, const QString &command,
                                     std::vector<std::string> &chosen)
{
    const auto fail = [&](const QString &problem) {
        return CommandFailed(terminal, command, problem);
    };
    std::vector<std::string> names, tables;
    rooms.ListRootRooms(names, tables, nullptr);
    if (parser.isSet(QStringLiteral("table"))) {
        chosen.push_back(Gbk::fromQString(parser.value(QStringLiteral("table"))));
    } else if (parser.isSet(QStringLiteral("root"))) {
        const std::string root = Gbk::fromQString(parser.value(QStringLiteral("root")));
        for (std::size_t i = 0; i < names.size() && chosen.empty(); ++i) {
            if (names[i] == root && !tables[i].empty())
                chosen.push_back(tables[i]);
        }
        if (chosen.empty())
            return fail(QString::fromUtf8(UnknownRoot).arg(q(root)));
    } else {
        for (const std::string &table : tables) {
            if (!table.empty() && std::find(chosen.begin(), chosen.end(), table) == chosen.end())
                chosen.push_back(table);
        }
    }
    if (chosen.empty())
        return fail(QString::fromUtf8(NoTables));
    return std::nullopt;
}

// Builds (or drops) the title index of each table and reports it; Ctrl+C stops.
int buildOrDrop(const std::string &connection, const std::vector<std::string> &chosen, bool drop,
                Terminal &terminal, const QString &command)
{
    const auto fail = [&](const QString &problem) {
        return CommandFailed(terminal, command, problem);
    };
    std::string reason;
    CAdoManager ado;
    ado.SetCommandTimeout(0); // a build of millions of rows takes its time
    if (ado.OpenAdoConnection(connection) != 0)
        return fail(q(ado.LastError()));
    const SqlDialect dialect = DialectOf(connection);
    stopRequested = false;
    const auto previousInt = std::signal(SIGINT, requestStop);
    const auto previousTerm = std::signal(SIGTERM, requestStop);
    int status = ExitStatus::Success;
    for (const std::string &table : chosen) {
        const QString name = q(table);
        if (drop) {
            if (DropTitleIndex(ado, dialect, table, reason) != 0) {
                terminal.err(QString::fromUtf8(Failed).arg(name, q(reason)));
                status = ExitStatus::Failure;
            } else {
                terminal.out(QString::fromUtf8(Dropped).arg(name));
            }
            continue;
        }
        QElapsedTimer clock;
        clock.start();
        long long rows = 0;
        const auto progress = [&](const TitleIndexProgress &state) {
            rows = state.total;
            const double seconds = std::max(0.001, clock.elapsed() / 1000.0);
            const double rate = state.done / seconds;
            if (dialect == SqlDialect::SQLite && state.done < state.total)
                terminal.err(
                        QString::fromUtf8(Progress)
                                .arg(name)
                                .arg(state.done)
                                .arg(state.total)
                                .arg(state.total ? 100 * state.done / state.total : 100)
                                .arg(qRound64(rate))
                                .arg(rate > 0 ? qRound64((state.total - state.done) / rate) : 0));
            return !stopRequested.load();
        };
        switch (BuildTitleIndex(ado, dialect, table, progress, reason)) {
        case TitleIndexResult::Built:
            terminal.out(QString::fromUtf8(Built).arg(name).arg(rows).arg(clock.elapsed() / 1000.0,
                                                                          0, 'f', 1));
            if (dialect == SqlDialect::PostgreSQL && !trigramsOfChinese(ado))
                terminal.err(QString::fromUtf8(NoChineseTrigrams));
            break;
        case TitleIndexResult::Stopped:
            terminal.err(QString::fromUtf8(Stopped).arg(name));
            status = ExitStatus::Failure;
            break;
        case TitleIndexResult::Failed:
            terminal.err(QString::fromUtf8(Failed).arg(name, q(reason)));
            status = ExitStatus::Failure;
            break;
        }
        if (stopRequested)
            break;
    }
    std::signal(SIGINT, previousInt);
    std::signal(SIGTERM, previousTerm);
    ado.CloseAdoConnection();
    return status;
}

} // namespace

Subcommand IndexCommand()
{
    return {Name, Summary, &RunIndexCommand};
}

int RunIndexCommand(const QStringList &arguments, Terminal &terminal)
{
    const QString command = QStringLiteral("quillery index");
    using namespace CommonOptions;
    OptionParser parser(JoinOptions(
            {TableOrRoot(), Archive(), Information(), Flags({"title", "body", "drop"})}));
    if (const auto status = ParseArchiveCommand(parser, arguments, terminal, command, Help))
        return *status;
    const bool body = parser.isSet(QStringLiteral("body"));
    if (parser.isSet(QStringLiteral("title")) == body)
        return UsageError(terminal, command, QString::fromUtf8(NeedKind));
    if (parser.isSet(QStringLiteral("table")) && parser.isSet(QStringLiteral("root")))
        return UsageError(terminal, command, QString::fromUtf8(Exclusive));
    RoomModel rooms;
    std::string connection;
    if (const auto status = OpenArchive(parser, terminal, command, rooms, connection))
        return *status;
    if (body)
        return RunBodyIndexCommand(parser, rooms, connection, terminal, command);
    std::vector<std::string> chosen;
    if (const auto status = tablesFromOptions(parser, rooms, terminal, command, chosen))
        return *status;
    return buildOrDrop(connection, chosen, parser.isSet(QStringLiteral("drop")), terminal, command);
}
