#include "BodyIndexCommand.h"

#include "ArchiveConfig.h"
#include "CommandLine.h"
#include "OptionParser.h"
#include "Subcommand.h"
#include "Terminal.h"
#include "browser/bodysearch/BodyIndexBuild.h"
#include "browser/rooms/RoomModel.h"
#include "common/Codec.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <mutex>
#include <thread>

namespace {

constexpr const char Progress[] =
        "已检查 %1/%2 个帖子 (%3%), 编入 %4, 无法读取 %5, 每秒 %6 个, 还需约 %7 秒";
constexpr const char Optimizing[] = "正在整理索引...";
constexpr const char Built[] =
        "正文索引已是最新: 检查 %1 个帖子, 编入 %2, 删除 %3 个已不存在的帖子的索引, "
        "%4 个帖子的文件无法读取 (%5 秒)";
constexpr const char Stopped[] =
        "已中止: 已编入的 %1 个帖子保留在索引中, 再次运行 quillery index --body 继续";
constexpr const char Dropped[] = "%1: 正文索引已删除";

volatile std::sig_atomic_t interrupted = 0;

extern "C" void onBodyIndexInterrupt(int)
{
    interrupted = 1;
}

QString q(const std::string &gbk)
{
    return Gbk::toQString(gbk);
}

// Lines of the run and the progress line on standard error, never mixed on one line.
class ProgressLine
{
public:
    ProgressLine(Terminal &terminal, bool shown)
        : terminal_(terminal)
        , shown_(shown)
    {
    }
    void line(const QString &text)
    {
        const std::lock_guard lock(mutex_);
        clear();
        terminal_.err(text);
    }
    void show(const QString &text)
    {
        if (!shown_)
            return;
        const std::lock_guard lock(mutex_);
        const QByteArray bytes = "\r" + terminal_.encode(text) + "\033[K";
        std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
        std::fflush(stderr);
        visible_ = true;
    }
    void end()
    {
        const std::lock_guard lock(mutex_);
        clear();
    }

private:
    void clear()
    {
        if (!visible_)
            return;
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        visible_ = false;
    }

    Terminal &terminal_;
    bool shown_;
    bool visible_ = false;
    std::mutex mutex_;
};

QString progressText(const BodyIndexProgress &progress, double seconds)
{
    if (progress.optimizing)
        return QString::fromUtf8(Optimizing);
    const BodyIndexPace pace = PaceOf(progress, seconds);
    const long long total = std::max(0LL, progress.total.load());
    const long long checked = progress.checked.load();
    return QString::fromUtf8(Progress)
            .arg(checked)
            .arg(total)
            .arg(total ? 100 * checked / total : 0)
            .arg(progress.indexed.load())
            .arg(progress.unreadable.load())
            .arg(qRound64(pace.perSecond))
            .arg(pace.secondsLeft < 0 ? QStringLiteral("?") : QString::number(pace.secondsLeft));
}

} // namespace

int RunBodyIndexCommand(const OptionParser &parser, RoomModel &rooms, const std::string &connection,
                        Terminal &terminal, const QString &command)
{
    std::vector<BodyIndexTarget> targets;
    if (parser.isSet(QStringLiteral("table")) || parser.isSet(QStringLiteral("root"))) {
        ArchiveTable target;
        if (const auto status = ResolveArchiveTable(parser, rooms, terminal, command, target))
            return *status;
        targets.push_back({target.table, target.rootIndex});
    } else {
        targets = BodyIndexBuild::TargetsOf(rooms);
    }
    BodyIndexBuild build(rooms, connection);
    if (parser.isSet(QStringLiteral("drop"))) {
        if (build.Drop(targets) != BodyIndexOutcome::Completed)
            return CommandFailed(terminal, command, q(build.Problem()));
        for (const BodyIndexTarget &target : targets)
            terminal.out(QString::fromUtf8(Dropped).arg(q(target.table)));
        return ExitStatus::Success;
    }

    ProgressLine progress(terminal, ::isatty(STDERR_FILENO) == 1);
    build.SetLineHandler([&](const std::string &line) { progress.line(q(line)); });
    interrupted = 0;
    struct sigaction action = {};
    action.sa_handler = onBodyIndexInterrupt;
    sigemptyset(&action.sa_mask);
    struct sigaction previousInt = {}, previousTerm = {};
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);

    std::atomic<bool> finished {false};
    BodyIndexOutcome outcome = BodyIndexOutcome::Failed;
    std::string why;
    const auto started = std::chrono::steady_clock::now();
    if (!build.Start(
                targets,
                [&](BodyIndexOutcome ended) {
                    outcome = ended;
                    finished = true;
                },
                why)) {
        sigaction(SIGINT, &previousInt, nullptr);
        sigaction(SIGTERM, &previousTerm, nullptr);
        return CommandFailed(terminal, command, q(why));
    }
    auto lastShown = started;
    while (!finished.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (interrupted)
            build.Abort();
        const auto now = std::chrono::steady_clock::now();
        if (now - lastShown >= std::chrono::milliseconds(250)) {
            lastShown = now;
            progress.show(progressText(build.Progress(),
                                       std::chrono::duration<double>(now - started).count()));
        }
    }
    build.Wait();
    progress.end();
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);

    const BodyIndexProgress &done = build.Progress();
    switch (outcome) {
    case BodyIndexOutcome::Completed:
        terminal.out(QString::fromUtf8(Built)
                             .arg(done.checked.load())
                             .arg(done.indexed.load())
                             .arg(done.removed.load())
                             .arg(done.unreadable.load())
                             .arg(std::chrono::duration<double>(std::chrono::steady_clock::now()
                                                                - started)
                                          .count(),
                                  0, 'f', 1));
        return ExitStatus::Success;
    case BodyIndexOutcome::Aborted:
        return CommandFailed(terminal, command,
                             QString::fromUtf8(Stopped).arg(done.indexed.load()));
    case BodyIndexOutcome::Failed:
        break;
    }
    return CommandFailed(terminal, command, q(build.Problem()));
}
