#include "ClassifyCommand.h"

#include "CliTexts.h"
#include "CommandLine.h"
#include "OptionParser.h"
#include "Terminal.h"
#include "classifier/CClassifier.h"
#include "classifier/ClassifierObserver.h"
#include "classifier/ProgressText.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/PlaceholderNotifier.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr const char Name[] = "classify";
constexpr const char Summary[] = "把帖子文件按讨论室分类,或提取 RoomID-Name.txt(与 Sorrel 相同)";

constexpr const char Help[] =
        "用法: quillery classify [选项]\n"
        "       quillery classify --extract-conversion [选项]\n"
        "\n"
        "遍历输入目录及其所有子目录,把符合文件格式的帖子文件按讨论室复制或移动到\n"
        "输出目录下的分类目录中。标记和文件内容都不区分大小写。\n"
        "用 --extract-conversion 则从帖子文件中提取讨论室的 roomid 和 roomname,\n"
        "在输出目录中写出新的 RoomID-Name.txt(每个讨论室一行,GBK,行尾 CR LF)。\n"
        "\n"
        "选项:\n"
        "  -i, --in DIR                 输入目录(默认: %1)\n"
        "  -o, --out DIR                输出目录(默认: %2)\n"
        "  -p, --pattern GLOB           文件格式,可用 * 和 ?(默认: *.htm)\n"
        "      --roomname-start TEXT    roomname的开始标记(默认: <RoomName>)\n"
        "      --roomname-end TEXT      roomname的结束标记(默认: </RoomName>)\n"
        "      --roomid-start TEXT      roomid的开始标记(默认: <RoomId>)\n"
        "      --roomid-end TEXT        roomid的结束标记(默认: </RoomId>)\n"
        "      --folders METHOD         分类目录: roomid(默认)= 按照roomid直接提取;\n"
        "                               roomname = 按 %3 把 roomname 转成 roomid,\n"
        "                                          找不到则按流水号(从100开始);\n"
        "                               sequence = 按照roomname相同的流水号自动生成;\n"
        "                               flat = 不创建分类目录,全部放在输出目录下\n"
        "      --names RULE             文件名: keep(默认)= 保持不变; roomname = 按照\n"
        "                               提取的roomname命名; sequence = 数字流水号(扩展名不变)\n"
        "      --start N                文件名流水号的开始值(默认: 10000,最大 2147483647)\n"
        "      --copy                   复制原来的文件(默认)\n"
        "      --move                   移动原来的文件(不会覆盖已有的文件)\n"
        "      --extract-conversion     提取转换文件 RoomID-Name.txt,不分类\n"
        "  -h, --help                   显示本帮助\n"
        "      --version                显示版本号\n"
        "\n"
        "消息和最后的统计行写到标准输出;在终端上,进度写到标准错误。\n"
        "Ctrl+C 在当前文件处理完后停止,并照样给出统计行。\n"
        "\n"
        "退出状态: 0 所有文件都已分类(或转换文件已写出);1 有文件被忽略或出错、\n"
        "          被中止,或转换文件无法写出;2 用法错误。\n";

constexpr const char UnknownChoice[] = "选项 “%1” 的值 “%2” 无效(可用 %3)";
constexpr const char BadStart[] = "--start 需要 0 到 2147483647 之间的整数,而不是 “%1”";
constexpr const char CopyAndMove[] = "--copy 和 --move 不能同时使用";
constexpr const char UnknownPlaceholder[] = "RoomID-Name.txt 中有未知的占位符 %1,已忽略";

std::atomic<bool> interrupted {false};

extern "C" void onInterrupt(int)
{
    interrupted.store(true);
}

QString q(const std::string &gbk)
{
    return Gbk::toQString(gbk);
}

// Message lines on standard output; at a terminal, a progress line on standard error
// that is wiped before each message so the two never mix.
class TerminalObserver : public ClassifierObserver
{
public:
    TerminalObserver(Terminal &terminal, bool showProgress)
        : terminal_(terminal)
        , progress_(showProgress)
        , start_(Clock::now())
    {
    }
    ~TerminalObserver() override { wipe(); }

    void AddMessage(const std::string &gbkText) override
    {
        wipe();
        terminal_.out(q(gbkText));
    }
    bool WantsTotal() const override { return progress_; }
    void SetTotal(std::int64_t total) override
    {
        total_ = total;
        start_ = Clock::now();
    }
    void FileDone(std::int64_t done) override
    {
        if (!progress_)
            return;
        const auto now = Clock::now();
        if (now - shown_ < std::chrono::milliseconds(200))
            return;
        shown_ = now;
        const QString line =
                ProgressText(done, total_, std::chrono::duration<double>(now - start_).count());
        const QByteArray bytes = "\r\033[K" + terminal_.encode(line);
        std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
        std::fflush(stderr);
        lineShown_ = true;
    }
    bool StopRequested() override { return interrupted.load(); }

private:
    using Clock = std::chrono::steady_clock;

    void wipe()
    {
        if (!lineShown_)
            return;
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        lineShown_ = false;
    }

    Terminal &terminal_;
    bool progress_;
    bool lineShown_ = false;
    std::int64_t total_ = 0;
    Clock::time_point start_;
    Clock::time_point shown_ {};
};

// SIGINT ends the run after the current file while this object lives; a second
// Ctrl+C ends the program at once.
class InterruptGuard
{
public:
    InterruptGuard()
    {
        interrupted.store(false);
        struct sigaction action = {};
        action.sa_handler = onInterrupt;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previous_);
    }
    ~InterruptGuard() { sigaction(SIGINT, &previous_, nullptr); }
    InterruptGuard(const InterruptGuard &) = delete;
    InterruptGuard &operator=(const InterruptGuard &) = delete;

private:
    struct sigaction previous_ = {};
};

template<class Enum>
bool parseChoice(const OptionParser &parser, const char *option,
                 std::initializer_list<std::pair<const char *, Enum>> choices, Enum &value,
                 QString &problem)
{
    const QString name = QString::fromLatin1(option);
    if (!parser.isSet(name))
        return true;
    const QString given = parser.value(name).toLower();
    QStringList known;
    for (const auto &[text, choice] : choices) {
        known << QString::fromLatin1(text);
        if (given == known.constLast()) {
            value = choice;
            return true;
        }
    }
    problem = QString::fromUtf8(UnknownChoice)
                      .arg(QStringLiteral("--") + name, parser.value(name),
                           known.join(QStringLiteral("、")));
    return false;
}

QString helpText()
{
    const ClassifierSettings defaults = DefaultClassifierSettings();
    return QString::fromUtf8(Help).arg(
            q(defaults.inputDirectory), q(defaults.outputDirectory),
            q(FileSystem::join(defaults.inputDirectory, "RoomID-Name.txt")));
}

// Reads the command line into settings; false with the reason in problem.
bool readSettings(const OptionParser &parser, ClassifierSettings &settings, QString &problem)
{
    const auto text = [&](const char *option, std::string &field) {
        const QString name = QString::fromLatin1(option);
        if (parser.isSet(name))
            field = Gbk::fromQString(parser.value(name));
    };
    const auto path = [&](const char *option, std::string &field) {
        const QString name = QString::fromLatin1(option);
        if (parser.isSet(name))
            field = FileSystem::fromQtPath(parser.value(name));
    };
    path("in", settings.inputDirectory);
    path("out", settings.outputDirectory);
    text("pattern", settings.pattern);
    text("roomname-start", settings.roomNameStart);
    text("roomname-end", settings.roomNameEnd);
    text("roomid-start", settings.roomIdStart);
    text("roomid-end", settings.roomIdEnd);
    if (!parseChoice<FolderMethod>(parser, "folders",
                                   {{"roomid", FolderMethod::ByRoomId},
                                    {"roomname", FolderMethod::ByConversionFile},
                                    {"sequence", FolderMethod::BySequence},
                                    {"flat", FolderMethod::Flat}},
                                   settings.folderMethod, problem)
        || !parseChoice<NamingRule>(parser, "names",
                                    {{"keep", NamingRule::Keep},
                                     {"roomname", NamingRule::ByRoomName},
                                     {"sequence", NamingRule::BySequence}},
                                    settings.namingRule, problem))
        return false;
    if (parser.isSet(QStringLiteral("start"))) {
        const QString start = parser.value(QStringLiteral("start"));
        const auto value = ParseSequenceStart(Gbk::fromQString(start));
        if (!value) {
            problem = QString::fromUtf8(BadStart).arg(start);
            return false;
        }
        settings.fileSequenceStart = *value;
    }
    if (parser.isSet(QStringLiteral("copy")) && parser.isSet(QStringLiteral("move"))) {
        problem = QString::fromUtf8(CopyAndMove);
        return false;
    }
    if (parser.isSet(QStringLiteral("move")))
        settings.transferMethod = TransferMethod::Move;
    return true;
}

} // namespace

Subcommand ClassifyCommand()
{
    return {Name, Summary, &RunClassifyCommand};
}

int RunClassifyCommand(const QStringList &arguments, Terminal &terminal)
{
    const QString command = QStringLiteral("quillery classify");
    OptionParser parser({
            {QStringLiteral("in"), u'i', true},
            {QStringLiteral("out"), u'o', true},
            {QStringLiteral("pattern"), u'p', true},
            {QStringLiteral("roomname-start"), QChar(), true},
            {QStringLiteral("roomname-end"), QChar(), true},
            {QStringLiteral("roomid-start"), QChar(), true},
            {QStringLiteral("roomid-end"), QChar(), true},
            {QStringLiteral("folders"), QChar(), true},
            {QStringLiteral("names"), QChar(), true},
            {QStringLiteral("start"), QChar(), true},
            {QStringLiteral("copy"), QChar(), false},
            {QStringLiteral("move"), QChar(), false},
            {QStringLiteral("extract-conversion"), QChar(), false},
            {QStringLiteral("help"), u'h', false},
            {QStringLiteral("version"), QChar(), false},
    });
    if (const auto status = RejectCommandLine(parser, arguments, terminal, command))
        return *status;
    if (parser.isSet(QStringLiteral("help"))) {
        terminal.out(helpText());
        return ExitStatus::Success;
    }
    ClassifierSettings settings = DefaultClassifierSettings();
    QString problem;
    if (!readSettings(parser, settings, problem))
        return UsageError(terminal, command, problem);

    SetUnknownPlaceholderNotifier([&terminal, &command](const std::string &placeholder) {
        terminal.err(command + QStringLiteral(": ") + QString::fromUtf8(CliText::Warning)
                     + QString::fromUtf8(UnknownPlaceholder).arg(q(placeholder)));
    });
    int status = ExitStatus::Failure;
    {
        const InterruptGuard guard;
        TerminalObserver observer(terminal, ::isatty(STDERR_FILENO) == 1);
        CClassifier classifier;
        if (parser.isSet(QStringLiteral("extract-conversion"))) {
            if (classifier.ExtractConversionFile(settings, observer))
                status = ExitStatus::Success;
        } else {
            classifier.StartClassification(settings, observer);
            if (!classifier.wasStopped() && classifier.successCount() == classifier.fileCount())
                status = ExitStatus::Success;
        }
    }
    SetUnknownPlaceholderNotifier({});
    return status;
}
