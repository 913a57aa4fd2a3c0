// Sorrel's classification on generated GBK post files of about 4 KB in 50 folders:
// by roomid with copy against "cp -r" of the same files, then the move rate on one
// file system, then the window's repaint rate during a run (needs a display: run it
// under xvfb-run).
//   xvfb-run -a bench/bench_sorrel [files]      (from build/; works in a folder there)

#include "BenchSupport.h"

#include "classifier/CClassifier.h"
#include "classifier/CSorrelDlg.h"
#include "classifier/ClassifierObserver.h"
#include "common/Codec.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>

namespace fs = std::filesystem;

namespace {

constexpr int Folders = 50;
constexpr int Rooms = 200;

// Processor time (user + system) of this process or of its finished children, in s.
double cpuSeconds(int who)
{
    rusage usage {};
    getrusage(who, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

class CountingObserver : public ClassifierObserver
{
public:
    void AddMessage(const std::string &) override { ++messages; }
    long messages = 0;
};

// Deterministic posts: a room id and name, then GBK text up to about 4 KB.
std::int64_t generate(const fs::path &root, int files)
{
    std::mt19937 random(20261208);
    const std::string filler = Gbk::fromUtf8(
            "<p>我最近在做一个项目,用到了数据库和网络编程,请各位帮忙看看这段代码。</p>\r\n");
    std::int64_t bytes = 0;
    for (int i = 0; i < files; ++i) {
        const int room = int(random() % Rooms) + 1;
        const fs::path folder = root / ("f" + std::to_string(i % Folders));
        if (i < Folders)
            fs::create_directories(folder);
        std::string page = "<html><head><title>" + std::to_string(i) + "</title></head><body>\r\n"
                + "<RoomId>" + std::to_string(1000 + room) + "</RoomId><RoomName>"
                + Gbk::fromUtf8("讨论室") + std::to_string(room) + "</RoomName>\r\n";
        while (page.size() < 4000)
            page += filler;
        page += "</body></html>\r\n";
        std::ofstream(folder / (std::to_string(100000 + i) + ".htm"), std::ios::binary) << page;
        bytes += std::int64_t(page.size());
    }
    return bytes;
}

ClassifierSettings settingsFor(const fs::path &in, const fs::path &out, TransferMethod method)
{
    ClassifierSettings settings = DefaultClassifierSettings();
    settings.inputDirectory = in.string() + "/";
    settings.outputDirectory = out.string() + "/";
    settings.folderMethod = FolderMethod::ByRoomId;
    settings.transferMethod = method;
    return settings;
}

double classify(const fs::path &in, const fs::path &out, TransferMethod method, int files,
                double &cpu)
{
    CClassifier classifier;
    CountingObserver observer;
    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    Bench::Stopwatch clock;
    classifier.StartClassification(settingsFor(in, out, method), observer);
    const double ms = clock.milliseconds();
    cpu = cpuSeconds(RUSAGE_SELF) - cpuBefore;
    if (classifier.successCount() != files) {
        std::fprintf(stderr, "classified %lld of %d files\n",
                     static_cast<long long>(classifier.successCount()), files);
        std::exit(1);
    }
    return ms;
}

class PaintCounter : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
    long paints = 0;
};

} // namespace

int main(int argc, char **argv)
{
    const int files = argc > 1 ? std::atoi(argv[1]) : 100000;
    const fs::path root = fs::absolute("sorrel-bench");
    fs::remove_all(root);
    fs::create_directories(root);
    const fs::path in = root / "in";

    Bench::Stopwatch clock;
    const std::int64_t bytes = generate(in, files);
    std::printf("%d GBK post files, %.1f MB in %d folders, %d rooms (generated in %.1f s)\n\n",
                files, double(bytes) / 1e6, Folders, Rooms, clock.milliseconds() / 1000);

    ::sync();
    clock.restart();
    const std::string cp = "cp -r '" + in.string() + "' '" + (root / "cp").string() + "'";
    if (std::system(cp.c_str()) != 0)
        return 1;
    const double cpMs = clock.milliseconds();
    const double cpCpu = cpuSeconds(RUSAGE_CHILDREN);
    ::sync();
    double copyCpu = 0, moveCpu = 0;
    const double copyMs = classify(in, root / "copy", TransferMethod::Copy, files, copyCpu);
    ::sync();
    const double moveMs =
            classify(root / "copy", root / "move", TransferMethod::Move, files, moveCpu);

    const auto row = [files](const char *what, double ms, double cpu) {
        std::printf("%-34s %9.2f %11.0f %13.2f\n", what, ms / 1000, files / (ms / 1000), cpu);
    };
    std::printf("%-34s %9s %11s %13s\n", "", "seconds", "files/s", "cpu seconds");
    row("cp -r (the same files)", cpMs, cpCpu);
    row("Sorrel by roomid, copy", copyMs, copyCpu);
    row("Sorrel by roomid, move (one FS)", moveMs, moveCpu);
    std::printf(
            "\ncopy speed / cp -r speed: %.2f (goal >= 0.5); move: %.0f files/s (goal >= 20000)\n",
            cpMs / copyMs, files / (moveMs / 1000));

    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::printf("\nrepaint rate: no display (run under xvfb-run)\n");
    } else {
        QApplication app(argc, argv);
        CSorrelDlg dialog;
        dialog.show();
        dialog.inputEdit()->setText(QString::fromStdString((root / "move").string()));
        dialog.outputEdit()->setText(QString::fromStdString((root / "window").string()));
        PaintCounter counter;
        dialog.sourceFileLine()->installEventFilter(&counter);
        QSignalSpy finished(&dialog, &CSorrelDlg::runFinished);
        QApplication::processEvents();
        counter.paints = 0;
        clock.restart();
        dialog.startButton()->click();
        finished.wait(3600 * 1000);
        const double seconds = clock.milliseconds() / 1000;
        std::printf("\nwindow run (copy by roomid, %d files): %.2f s, %ld repaints of the progress "
                    "line = %.1f per second (goal >= 2)\n",
                    files, seconds, counter.paints, double(counter.paints) / seconds);
    }
    fs::remove_all(root);
    return 0;
}
