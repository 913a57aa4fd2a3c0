#include "ImportCommand.h"

#include "CliTexts.h"
#include "CommandLine.h"
#include "OptionParser.h"
#include "Terminal.h"
#include "browser/db/EmbeddedDatabase.h"
#include "browser/import/ImportJob.h"
#include "browser/import/ImportPresets.h"
#include "browser/import/ImportRun.h"
#include "browser/import/ImportSink.h"
#include "browser/import/ImportTexts.h"
#include "browser/rooms/PostPlaceholder.h"
#include "browser/rooms/RoomModel.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/PlaceholderNotifier.h"
#include "common/TemplateExpansion.h"

#include <QDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

constexpr const char Name[] = "import";
constexpr const char Summary[] = "把下载的帖子文件导入数据库(与 Kestrel 的“导入帖子”相同)";

constexpr const char Help[] =
        "用法: quillery import [选项]\n"
        "\n"
        "把一个目录(含所有子目录)中的帖子文件导入帖子表,与 Kestrel 的“导入帖子”相同。\n"
        "每条消息一行写到标准输出,最后一行是“插入完成: 总文件=..成功插入=..”;\n"
        "消息框的内容写到标准错误。标准错误是终端时显示进度。Ctrl+C 中止导入:\n"
        "已插入的帖子保留,仍然输出最后一行。\n"
        "\n"
        "数据来源:\n"
        "  --config FILE          树形配置文件(默认: %1);类型、路径检查和连接字符串取自它\n"
        "  --connection TEXT      连接字符串(默认: 配置文件中的);SQLite 数据库文件不存在时\n"
        "                         按配置文件中的表新建,与 Kestrel 第一次启动时相同\n"
        "  --dir DIR              导入文件路径(默认: %2)\n"
        "  --path-check, --no-path-check\n"
        "                         检查程序构造的帖子路径和实际路径是否一致(默认: 检查)\n"
        "预先定义的格式:\n"
        "  --presets FILE         格式文件(默认: %3)\n"
        "  --preset NAME          使用名为 NAME 的格式;下面的选项可以改变它的值\n"
        "基本字段:\n"
        "  --pattern GLOB         文件格式(默认: *.htm)\n"
        "  --table TABLE          导入到的表(默认: post_other)\n"
        "  --check-topicid, --no-check-topicid   插入前检查帖子ID是否存在(默认: 检查)\n"
        "  --check-title, --no-check-title       插入前检查帖子标题是否存在(默认: 检查)\n"
        "  --roomid-mode N        roomid 的获取(默认: 0): 0 截取的就是roomid;\n"
        "                         1 经转换文件RoomID-Name.txt转换; 2 使用 --roomid-start 的值;\n"
        "                         3 帖子所在的目录是roomname; 4 帖子所在的目录是roomid\n"
        "  --roomid-start TEXT, --roomid-end TEXT    roomid 的匹配开始、结束\n"
        "  --topicid-mode N       帖子ID的获取(默认: 1): 0 文件名(不含扩展名); 1 自动增长\n"
        "  --auto-start N|next    自动增长的开始值(默认: 10000); next = 表中最大的帖子ID加1\n"
        "  --title-mode N         标题的截取(默认: 0): 0 按匹配标记; 1 使用文件名\n"
        "  --title-start TEXT, --title-end TEXT      标题的匹配开始、结束\n"
        "扩充字段(给出匹配标记即截取该字段):\n"
        "  --username-start TEXT, --username-end TEXT\n"
        "  --reply-start TEXT, --reply-end TEXT\n"
        "  --createtime-start TEXT, --createtime-end TEXT\n"
        "导入到所选类型:\n"
        "  --room ROOMID          roomid 取该类型的ID(方式 2),导入到其顶层类型的表;\n"
        "                         未给 --preset 时使用默认格式\n"
        "  -h, --help             显示本帮助\n"
        "      --version          显示版本号\n"
        "\n"
        "匹配标记用终端的编码输入,可以写 |NEWLINE||ENTER|(换行)、|TAB|、||(竖线)。\n"
        "退出状态: 0 导入完成;1 数据库或表无法打开(或配置无法读取),或者导入中途\n"
        "数据库失去连接、磁盘已满或读写出错(此时导入停止,最后一行之前的一行写出数据库\n"
        "给出的原因);2 用法错误;130 被中止。\n";

constexpr const char NoSuchPreset[] = "没有名为 “%1” 的预先定义格式";
constexpr const char NoSuchRoom[] = "没有ID为 “%1” 的类型";
constexpr const char BadNumber[] = "%1: 请键入一个整数。";
constexpr const char ConfigError[] = "%1 配置打开错误: %2";
constexpr const char Progress[] = "已处理 %1 个文件, 插入 %2, 跳过 %3, %4 个/秒, 用时 %5";
constexpr const char ProgressTotal[] = ", 共 %1 个, 剩余约 %2";

volatile std::sig_atomic_t interrupted = 0;

void onImportInterrupt(int)
{
    interrupted = 1;
}

QString q(const std::string &gbk)
{
    return Gbk::toQString(gbk);
}

QString duration(double seconds)
{
    const long long total = static_cast<long long>(seconds);
    return QStringLiteral("%1:%2:%3")
            .arg(total / 3600)
            .arg(total / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(total % 60, 2, 10, QLatin1Char('0'));
}

// Lines on standard output, boxes on standard error; the progress line is cleared
// before either so they never mix on one terminal.
class TerminalSink : public ImportSink
{
public:
    TerminalSink(Terminal &terminal, bool progress)
        : terminal_(terminal)
        , progress_(progress)
    {
    }
    void ImportStatus(const std::string &) override { }
    void ImportMessage(const std::string &line) override
    {
        const std::lock_guard lock(mutex_);
        clearProgress();
        terminal_.out(q(line));
    }
    void ImportMessageBox(const std::string &text, const std::string &details) override
    {
        const std::lock_guard lock(mutex_);
        clearProgress();
        terminal_.err(q(text));
        if (!details.empty())
            terminal_.err(q(details));
    }
    void ShowProgress(const QString &text)
    {
        const std::lock_guard lock(mutex_);
        const QByteArray bytes = "\r" + terminal_.encode(text) + "\033[K";
        std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
        std::fflush(stderr);
        shown_ = true;
    }
    void EndProgress()
    {
        const std::lock_guard lock(mutex_);
        clearProgress();
    }

private:
    void clearProgress()
    {
        if (!progress_ || !shown_)
            return;
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        shown_ = false;
    }

    Terminal &terminal_;
    bool progress_;
    bool shown_ = false;
    std::mutex mutex_;
};

QString progressText(const ImportProgress &progress, double seconds)
{
    const long met = progress.totalFiles.load();
    const long inserted = progress.insertedFiles.load();
    const double rate = seconds > 0 ? met / seconds : 0;
    QString text = QString::fromUtf8(Progress)
                           .arg(met)
                           .arg(inserted)
                           .arg(progress.skippedFiles.load())
                           .arg(qRound64(rate))
                           .arg(duration(seconds));
    const long long expected = progress.expectedFiles.load();
    if (expected >= 0) {
        const double left = rate > 0 ? std::max(0.0, double(expected - met) / rate) : 0;
        text += QString::fromUtf8(ProgressTotal).arg(expected).arg(duration(left));
    }
    return text;
}

// A marker as typed: terminal text to GBK, then the placeholders of the presets.
std::string marker(const QString &typed)
{
    std::string expanded;
    ExpandTemplate(Gbk::fromQString(typed), expanded, nullptr, commonKind, ResolvePostPlaceholder);
    return expanded;
}

bool parseInt32(const QString &text, std::int32_t &value)
{
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    if (ok)
        value = number;
    return ok;
}

std::string absoluteFolder(const QString &typed)
{
    std::string folder =
            FileSystem::fromQtPath(QDir::cleanPath(QDir::current().absoluteFilePath(typed)));
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

// The options of the command: the archive, the presets, the fields of the sheet's pages.
std::vector<OptionDefinition> importOptions()
{
    using namespace CommonOptions;
    return JoinOptions(
            {Information(), Archive(), Room(),
             Values({"dir", "table", "presets", "preset", "pattern", "roomid-mode", "roomid-start",
                     "roomid-end", "topicid-mode", "auto-start", "title-mode", "title-start",
                     "title-end", "username-start", "username-end", "reply-start", "reply-end",
                     "createtime-start", "createtime-end"}),
             Flags({"path-check", "no-path-check", "check-topicid", "no-check-topicid",
                    "check-title", "no-check-title"})});
}

// Turns the options into the settings of a run. Each step gives nullopt to go on, or
// the exit status after its report.
class SettingsFromOptions
{
public:
    SettingsFromOptions(const OptionParser &parser, const RoomModel &rooms, Terminal &terminal,
                        const QString &command)
        : parser_(parser)
        , rooms_(rooms)
        , terminal_(terminal)
        , command_(command)
    {
    }

    std::optional<int> Read(ImportSettings &settings, bool &nextTopicid)
    {
        settings = DefaultImportSettings();
        settings.connectionString = isSet("connection") ? Gbk::fromQString(value("connection"))
                                                        : rooms_.GetConnectionString();
        // The configuration's string was expanded when the configuration was read.
        settings.connectionExpanded = !isSet("connection");
        if (const auto status = room(settings))
            return status;
        if (const auto status = preset(settings))
            return status;
        return fields(settings, nextTopicid);
    }

private:
    bool isSet(const char *name) const { return parser_.isSet(QString::fromLatin1(name)); }
    QString value(const char *name) const { return parser_.value(QString::fromLatin1(name)); }
    int usage(const QString &problem) const { return UsageError(terminal_, command_, problem); }

    // --room: the room's ID, into its top-level room's table.
    std::optional<int> room(ImportSettings &settings) const
    {
        if (!isSet("room"))
            return std::nullopt;
        const std::string roomid = Gbk::fromQString(value("room"));
        std::string roomTable;
        for (std::size_t i = 0; i < rooms_.RecordCount() && roomTable.empty(); ++i) {
            const RoomRecord record = rooms_.GetRoomRecord(int(i));
            if (record.roomid == roomid)
                roomTable = rooms_.GetRootTable(record.rootIndex);
        }
        if (roomTable.empty())
            return usage(QString::fromUtf8(NoSuchRoom).arg(value("room")));
        SetImportTarget(settings, roomid, roomTable);
        return std::nullopt;
    }

    // --preset, and the default preset of --room.
    std::optional<int> preset(ImportSettings &settings) const
    {
        if (!isSet("preset") && !isSet("room"))
            return std::nullopt;
        PresetList presets;
        const std::string presetsPath = isSet("presets")
                ? FileSystem::fromQtPath(QDir::current().absoluteFilePath(value("presets")))
                : PresetsFilePath();
        std::string reason;
        if (!LoadPresetList(presetsPath, presets, &reason)) {
            terminal_.err(command_ + QStringLiteral(": ") + q(presetsPath)
                          + QString::fromUtf8(ImportText::PresetsOpenError) + QStringLiteral(" (")
                          + q(reason) + u')');
            return ExitStatus::Failure;
        }
        std::int32_t preset = presets.resultIndex();
        if (isSet("preset")) {
            preset = FindPreset(presets, Gbk::fromQString(value("preset")));
            if (preset < 0)
                return usage(QString::fromUtf8(NoSuchPreset).arg(value("preset")));
        }
        ApplyPreset(presets, preset, settings);
        if (settings.selectedRoomMode()) // the room's table and id, whatever the preset says
            SetImportTarget(settings, settings.targetRoomid, settings.targetTable);
        return std::nullopt;
    }

    // Options given beside a preset override its values.
    std::optional<int> fields(ImportSettings &settings, bool &nextTopicid) const
    {
        if (isSet("dir"))
            settings.importDirectory = absoluteFolder(value("dir"));
        if (isSet("path-check") || isSet("no-path-check"))
            settings.pathCheck = !isSet("no-path-check");
        if (isSet("check-topicid") || isSet("no-check-topicid"))
            settings.checkTopicid = !isSet("no-check-topicid");
        if (isSet("check-title") || isSet("no-check-title"))
            settings.checkTitle = !isSet("no-check-title");
        if (isSet("pattern"))
            settings.filePattern = marker(value("pattern"));
        if (isSet("table") && !settings.selectedRoomMode())
            settings.table = marker(value("table"));
        const bool roomFixed = settings.selectedRoomMode();
        const std::pair<const char *, std::int32_t *> numbers[] = {
                {"roomid-mode", &settings.roomidMode},
                {"topicid-mode", &settings.topicidMode},
                {"title-mode", &settings.titleMode}};
        for (const auto &[name, target] : numbers) {
            if (isSet(name) && !(roomFixed && target == &settings.roomidMode)
                && !parseInt32(value(name), *target))
                return usage(QString::fromUtf8(BadNumber).arg(QStringLiteral("--")
                                                              + QLatin1String(name)));
        }
        const std::pair<const char *, std::string *> markers[] = {
                {"roomid-start", &settings.roomid.start},
                {"roomid-end", &settings.roomid.end},
                {"title-start", &settings.title.start},
                {"title-end", &settings.title.end}};
        for (const auto &[name, target] : markers) {
            if (isSet(name) && !(roomFixed && target == &settings.roomid.start))
                *target = marker(value(name));
        }
        const std::tuple<const char *, const char *, OptionalField *> optional[] = {
                {"username-start", "username-end", &settings.username},
                {"reply-start", "reply-end", &settings.reply},
                {"createtime-start", "createtime-end", &settings.createtime}};
        for (const auto &[start, end, field] : optional) {
            if (isSet(start) || isSet(end))
                field->get = true;
            if (isSet(start))
                field->markers.start = marker(value(start));
            if (isSet(end))
                field->markers.end = marker(value(end));
        }
        nextTopicid = isSet("auto-start") && value("auto-start") == QLatin1String("next");
        if (isSet("auto-start") && !nextTopicid
            && !parseInt32(value("auto-start"), settings.autoGrowStart))
            return usage(QString::fromUtf8(BadNumber).arg(QStringLiteral("--auto-start")));
        return std::nullopt;
    }

    const OptionParser &parser_;
    const RoomModel &rooms_;
    Terminal &terminal_;
    const QString &command_;
};

// Runs the import of the settings and reports it: lines on standard output, boxes and
// the progress on standard error, Ctrl+C aborts. Gives the exit status.
int runAndReport(RoomModel &rooms, const ImportSettings &settings, bool nextTopicid,
                 Terminal &terminal, const QString &command)
{
    const bool showProgress = ::isatty(STDERR_FILENO) == 1;
    TerminalSink sink(terminal, showProgress);
    ImportJob job(&rooms, sink);
    if (const auto problem = job.Prepare(settings))
        return UsageError(terminal, command, q(problem->text));

    // Kestrel makes its embedded database at its first start; so does the command.
    std::vector<std::string> names, tables;
    rooms.ListRootRooms(names, tables, nullptr);
    tables.erase(std::remove(tables.begin(), tables.end(), std::string()), tables.end());
    std::string why;
    EnsureEmbeddedDatabase(job.settings().connectionString, tables, why);
    if (nextTopicid && !job.NumberFromNextTopicid())
        return ExitStatus::Failure;

    interrupted = 0;
    struct sigaction action = {};
    action.sa_handler = onImportInterrupt;
    sigemptyset(&action.sa_mask);
    struct sigaction previousInt = {}, previousTerm = {};
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);

    std::atomic<bool> finished {false};
    ImportOutcome outcome = ImportOutcome::Completed;
    const auto ended = [&](ImportOutcome runOutcome, std::int32_t) {
        outcome = runOutcome;
        finished = true;
    };
    if (!job.Start(ended, why)) {
        terminal.err(command + QStringLiteral(": ")
                     + QString::fromUtf8(ImportText::ThreadFailed)
                               .replace(QStringLiteral("%s"), QString::fromLocal8Bit(why.c_str())));
        finished = true;
        outcome = ImportOutcome::Failed;
    }
    const auto started = std::chrono::steady_clock::now();
    auto lastShown = started;
    while (!finished.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (interrupted)
            job.Abort();
        const auto now = std::chrono::steady_clock::now();
        if (showProgress && now - lastShown >= std::chrono::milliseconds(250)) {
            lastShown = now;
            sink.ShowProgress(progressText(job.Progress(),
                                           std::chrono::duration<double>(now - started).count()));
        }
    }
    job.Wait();
    sink.EndProgress();
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);

    switch (outcome) {
    case ImportOutcome::Completed:
        return interrupted ? 130 : ExitStatus::Success;
    case ImportOutcome::Aborted:
        return 130;
    default:
        return ExitStatus::Failure;
    }
}

} // namespace

Subcommand ImportCommand()
{
    return {Name, Summary, &RunImportCommand};
}

int RunImportCommand(const QStringList &arguments, Terminal &terminal)
{
    const QString command = QStringLiteral("quillery import");
    OptionParser parser(importOptions());
    if (const auto status = RejectCommandLine(parser, arguments, terminal, command))
        return *status;
    const auto isSet = [&](const char *name) { return parser.isSet(QString::fromLatin1(name)); };
    const auto value = [&](const char *name) { return parser.value(QString::fromLatin1(name)); };

    const std::string defaultConfig = RoomModel::TreeConfigPath(std::nullopt);
    if (isSet("help")) {
        terminal.out(QString::fromUtf8(Help).arg(q(defaultConfig),
                                                 q(DefaultImportSettings().importDirectory),
                                                 q(PresetsFilePath())));
        return ExitStatus::Success;
    }

    // Messages of placeholders that the configuration or the markers do not know.
    SetUnknownPlaceholderNotifier(
            [&terminal](const std::string &placeholder) { terminal.err(q(placeholder)); });
    const std::unique_ptr<void, void (*)(void *)> notifierEnds(
            &terminal, [](void *) { SetUnknownPlaceholderNotifier(nullptr); });

    RoomModel rooms;
    const std::string configPath = isSet("config")
            ? FileSystem::fromQtPath(QDir::current().absoluteFilePath(value("config")))
            : defaultConfig;
    std::string reason;
    if (!rooms.LoadTreeConfig(configPath, &reason)) {
        return CommandFailed(terminal, command,
                             QString::fromUtf8(ConfigError).arg(q(configPath), q(reason)));
    }

    ImportSettings settings;
    bool nextTopicid = false;
    if (const auto status =
                SettingsFromOptions(parser, rooms, terminal, command).Read(settings, nextTopicid))
        return *status;
    return runAndReport(rooms, settings, nextTopicid, terminal, command);
}
