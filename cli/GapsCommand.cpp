#include "GapsCommand.h"

#include "ArchiveConfig.h"
#include "CommandLine.h"
#include "OptionParser.h"
#include "Terminal.h"
#include "browser/gaps/GapScan.h"
#include "browser/gaps/MissingRuns.h"
#include "browser/posts/PostStatements.h"
#include "browser/rooms/RoomModel.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "urllist/UrlListWriter.h"

#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr const char Name[] = "gaps";
constexpr const char Summary[] = "列出一段帖子ID中档案没有的帖子,或写成下载列表";

constexpr const char Help[] =
        "用法: quillery gaps (--table 表名 | --root 根节点) [选项]\n"
        "\n"
        "按帖子ID的顺序分批读取帖子表,列出范围内表中没有的帖子ID(每个ID一行,\n"
        "或用 --ranges 每段一行),或用 -t 和 -o 把它们写成与 quillery urls 相同的下载列表。\n"
        "统计结果写到标准错误;写下载列表时写到标准输出。\n"
        "\n"
        "选项:\n"
        "      --table TABLE      检查的帖子表\n"
        "      --root NAME        检查该根节点(顶层类型)的帖子表\n"
        "      --first ID         帖子ID的开始值(默认: 表中最小的帖子ID)\n"
        "      --last ID          帖子ID的结束值(默认: 表中最大的帖子ID)\n"
        "      --files            也列出文件不在按帖子属性范围算出的位置的帖子\n"
        "      --ranges           每段连续缺少的帖子ID输出一行 “开始-结束”\n"
        "  -t, --template TEXT    下载列表的行模板;可用 |ID|、|ID4| 等、|APP_PATH|、\n"
        "                         |ENTER|、|NEWLINE|(与 quillery urls 相同)\n"
        "  -o, --output PATH      写入缺少的帖子的下载列表(GBK,行尾为 CR LF),与 -t 一起用\n"
        "      --config FILE      树配置文件(默认: %1)\n"
        "      --connection TEXT  数据库连接字符串(默认取自树配置文件)\n"
        "  -h, --help             显示本帮助\n"
        "      --version          显示版本号\n"
        "\n"
        "帖子ID须在 1 和 4294967295 之间;写下载列表时不大于 2147483646。\n"
        "\n"
        "退出状态: 0 没有缺少的帖子;1 有缺少的帖子,或配置、数据库、文件出错;2 用法错误。\n";

constexpr const char NeedTable[] = "需要 --table 或 --root 其中之一";
constexpr const char Exclusive[] = "--%1 和 --%2 不能同时使用";
constexpr const char TemplateAndOutput[] = "-t 和 -o 须一起使用";
constexpr const char RangesWithOutput[] = "--ranges 不能与 -o 一起使用";
constexpr const char FilesNeedRoot[] = "--files 需要一个在树配置文件中有根节点的帖子表";
constexpr const char NotAnId[] = "--%1: “%2” 不是整数";
constexpr const char IdOutOfRange[] = "--%1: 帖子ID须在 1 和 4294967295 之间";
constexpr const char ListWritten[] = "下载列表 %1: %2 行";
constexpr const char EmptyTable[] = "帖子表 %1 中没有帖子, 也没有给出帖子ID的范围";
constexpr const char ProgressLine[] = "已检查到帖子ID %1 (%2%), %3 个帖子";

constexpr long long LargestId = 4294967295LL;

QString q(const std::string &gbk)
{
    return Gbk::toQString(gbk);
}

// What is missing goes to standard output or into the list; the progress line on a
// terminal's standard error is cleared before anything else is written.
class GapsPrinter : public MissingSink
{
public:
    GapsPrinter(Terminal &terminal, bool progress, bool ranges, UrlListWriter *list,
                long long first, long long last)
        : terminal_(terminal)
        , progress_(progress)
        , ranges_(ranges)
        , list_(list)
        , first_(first)
        , last_(last)
    {
    }

    bool Missing(const MissingRun &run) override
    {
        if (list_)
            return OpenList() && list_->WriteRun(run.first, run.last, listResult_);
        if (!ranges_) {
            for (long long id = run.first; id <= run.last; ++id)
                append(QString::number(id));
            return true;
        }
        if (const auto done = joiner_.Add(run.first, run.last))
            appendRun(*done);
        return true;
    }

    bool Progress(long long reachedId, long long rows) override
    {
        const auto now = std::chrono::steady_clock::now();
        if (!progress_ || now - shownAt_ < std::chrono::milliseconds(200))
            return true;
        shownAt_ = now;
        flush();
        const long long span = std::max(1LL, last_ - first_ + 1);
        const long long percent = std::clamp((reachedId - first_ + 1) * 100 / span, 0LL, 100LL);
        const QByteArray bytes = "\r"
                + terminal_.encode(
                        QString::fromUtf8(ProgressLine).arg(reachedId).arg(percent).arg(rows))
                + "\033[K";
        std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
        std::fflush(stderr);
        shown_ = true;
        return true;
    }

    void Finish()
    {
        if (const auto done = joiner_.Finish())
            appendRun(*done);
        flush();
        clearProgress();
    }

    void SetRange(long long first, long long last)
    {
        first_ = first;
        last_ = last;
    }

    // The list is emptied only once the archive answered: a database that cannot be read
    // leaves an earlier list as it was.
    void SetList(const std::string &path, const std::string &lineTemplate)
    {
        listPath_ = path;
        listTemplate_ = lineTemplate;
    }
    bool OpenList()
    {
        if (!listOpened_)
            listOpened_ = list_->Open(listPath_, listTemplate_, listResult_);
        return listOpened_;
    }
    bool ListOpened() const { return listOpened_; }
    const UrlListResult &ListResult() const { return listResult_; }

private:
    void appendRun(const IdRun &run)
    {
        append(run.first == run.last ? QString::number(run.first)
                                     : QStringLiteral("%1-%2").arg(run.first).arg(run.last));
    }
    void append(const QString &line)
    {
        pending_ += line;
        pending_ += u'\n';
        if (pending_.size() > 65536)
            flush();
    }
    void flush()
    {
        if (pending_.isEmpty())
            return;
        clearProgress();
        terminal_.out(pending_);
        pending_.clear();
    }
    void clearProgress()
    {
        if (!shown_)
            return;
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        shown_ = false;
    }

    Terminal &terminal_;
    bool progress_;
    bool ranges_;
    UrlListWriter *list_;
    long long first_;
    long long last_;
    RunJoiner joiner_;
    QString pending_;
    UrlListResult listResult_;
    std::string listPath_;
    std::string listTemplate_;
    bool listOpened_ = false;
    bool shown_ = false;
    std::chrono::steady_clock::time_point shownAt_ {};
};

// --first/--last: nullopt to go on, or the exit status after the report.
std::optional<int> readId(const OptionParser &parser, const char *option, Terminal &terminal,
                          const QString &command, std::optional<long long> &id)
{
    const QString name = QString::fromLatin1(option);
    if (!parser.isSet(name))
        return std::nullopt;
    const QString text = parser.value(name).trimmed();
    long long value = 0;
    if (!ParseIntegerText(Gbk::fromQString(text), value))
        return UsageError(terminal, command, QString::fromUtf8(NotAnId).arg(name, text));
    if (value < 1 || value > LargestId)
        return CommandFailed(terminal, command, QString::fromUtf8(IdOutOfRange).arg(name));
    id = value;
    return std::nullopt;
}

std::optional<int> checkCombinations(const OptionParser &parser, Terminal &terminal,
                                     const QString &command)
{
    if (parser.isSet(QStringLiteral("table")) && parser.isSet(QStringLiteral("root")))
        return UsageError(
                terminal, command,
                QString::fromUtf8(Exclusive).arg(QStringLiteral("table"), QStringLiteral("root")));
    if (!parser.isSet(QStringLiteral("table")) && !parser.isSet(QStringLiteral("root")))
        return UsageError(terminal, command, QString::fromUtf8(NeedTable));
    if (parser.isSet(QStringLiteral("template")) != parser.isSet(QStringLiteral("output")))
        return UsageError(terminal, command, QString::fromUtf8(TemplateAndOutput));
    if (parser.isSet(QStringLiteral("ranges")) && parser.isSet(QStringLiteral("output")))
        return UsageError(terminal, command, QString::fromUtf8(RangesWithOutput));
    return std::nullopt;
}

} // namespace

Subcommand GapsCommand()
{
    return {Name, Summary, &RunGapsCommand};
}

int RunGapsCommand(const QStringList &arguments, Terminal &terminal)
{
    const QString command = QStringLiteral("quillery gaps");
    using namespace CommonOptions;
    std::vector<OptionDefinition> options =
            JoinOptions({TableOrRoot(), Archive(), Information(), Values({"first", "last"}),
                         Flags({"files", "ranges"})});
    options.push_back({QStringLiteral("template"), u't', true});
    options.push_back({QStringLiteral("output"), u'o', true});
    OptionParser parser(options);
    if (const auto status = ParseArchiveCommand(parser, arguments, terminal, command, Help))
        return *status;
    if (const auto status = checkCombinations(parser, terminal, command))
        return *status;
    GapScanRequest request;
    for (const auto &[option, id] :
         {std::pair {"first", &request.first}, std::pair {"last", &request.last}}) {
        if (const auto status = readId(parser, option, terminal, command, *id))
            return *status;
    }

    RoomModel rooms;
    std::string connection;
    if (const auto status = OpenArchive(parser, terminal, command, rooms, connection))
        return *status;
    ArchiveTable target;
    if (const auto status = ResolveArchiveTable(parser, rooms, terminal, command, target))
        return *status;
    request.connection = connection;
    request.tables = {target.table};
    request.files = parser.isSet(QStringLiteral("files"));
    if (request.files) {
        if (target.rootIndex < 0)
            return UsageError(terminal, command, QString::fromUtf8(FilesNeedRoot));
        request.rooms = &rooms;
        request.rootIndex = target.rootIndex;
    }

    UrlListWriter writer;
    const bool toList = parser.isSet(QStringLiteral("output"));
    const std::string listPath = toList
            ? FileSystem::fromQtPath(
                    QFileInfo(parser.value(QStringLiteral("output"))).absoluteFilePath())
            : std::string();
    GapsPrinter printer(terminal, ::isatty(STDERR_FILENO) == 1,
                        parser.isSet(QStringLiteral("ranges")), toList ? &writer : nullptr,
                        request.first.value_or(1), request.last.value_or(LargestId));
    printer.SetList(listPath, Gbk::fromQString(parser.value(QStringLiteral("template"))));
    const GapScanResult result = ScanGaps(request, printer);
    printer.Finish();
    if (toList) {
        if (result.outcome == GapScanOutcome::Stopped)
            return CommandFailed(terminal, command, q(printer.ListResult().text));
        // Nothing missing is an empty list.
        const bool done = result.outcome == GapScanOutcome::Done && !result.emptyRange;
        if (done && !printer.OpenList())
            return CommandFailed(terminal, command, q(printer.ListResult().text));
        UrlListResult closed;
        if (printer.ListOpened() && !writer.Close(closed))
            return CommandFailed(terminal, command, q(closed.text));
    }
    if (result.outcome == GapScanOutcome::Refused || result.outcome == GapScanOutcome::Failed)
        return CommandFailed(terminal, command, q(result.problem));
    if (result.emptyRange) {
        terminal.err(command + QStringLiteral(": ")
                     + QString::fromUtf8(EmptyTable).arg(q(target.table)));
        return ExitStatus::Success;
    }

    const QString summary = q(GapSummary(result, request.files));
    if (toList)
        terminal.out(summary + u'\n'
                     + QString::fromUtf8(ListWritten).arg(q(listPath)).arg(writer.LinesWritten()));
    else
        terminal.err(summary);
    return result.NothingMissing() ? ExitStatus::Success : ExitStatus::Failure;
}
