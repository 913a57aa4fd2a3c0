// Makes the files of an install that come from the programs themselves:
//   make_dist_files manuals <folder>           kestrel.1 sorrel.1 garnet.1 quillery.1 and
//                                              the bash completion "quillery", from --help
//   make_dist_files icon <svg> <size> <png>    a square PNG of an icon

#include "browser/rooms/KestrelTexts.h"
#include "classifier/SorrelTexts.h"
#include "cli/CliTexts.h"
#include "cli/Subcommand.h"
#include "cli/Terminal.h"
#include "common/AppDirectory.h"
#include "common/Codec.h"
#include "common/ProgramInfo.h"
#include "dist/ManualPage.h"
#include "urllist/GarnetTexts.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>

#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

// What a subcommand prints for --help, caught from standard output.
QString capturedOutput(const std::function<void()> &print)
{
    std::fflush(stdout);
    std::FILE *capture = std::tmpfile();
    const int saved = ::dup(STDOUT_FILENO);
    if (!capture || saved < 0 || ::dup2(::fileno(capture), STDOUT_FILENO) < 0)
        return QString();
    print();
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    std::rewind(capture);
    QByteArray bytes;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, capture)) > 0;)
        bytes.append(buffer, qsizetype(n));
    std::fclose(capture);
    return QString::fromUtf8(bytes);
}

bool write(const QString &path, const QString &text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(text.toUtf8()) != text.toUtf8().size() || !file.flush()) {
        std::fprintf(stderr, "make_dist_files: %s: %s\n", qPrintable(path),
                     qPrintable(file.errorString()));
        return false;
    }
    return true;
}

int makeManuals(const QString &folder)
{
    // Defaults in the help texts name the data folder as the pages' FILES section does.
    SetAppDirectoryOverride(Gbk::literal("<数据目录>"));
    Terminal terminal(QByteArrayLiteral("UTF-8"));
    std::vector<ManualEntry> subcommands;
    for (const Subcommand &command : Subcommands()) {
        const QString help =
                capturedOutput([&] { command.run({QStringLiteral("--help")}, terminal); });
        subcommands.push_back({QStringLiteral("quillery ") + QString::fromUtf8(command.name),
                               QString::fromUtf8(command.summary), help});
    }
    const ManualEntry quillery {
            QStringLiteral("quillery"), QString::fromUtf8(CliText::Summary),
            capturedOutput([&] { RunCommandLine({QStringLiteral("--help")}, terminal); })};
    const std::vector<ManualEntry> windowed {
            {QStringLiteral("kestrel"), QString::fromUtf8(KestrelText::CommandLineSummary),
             ProgramHelpText(KestrelText::CommandLineHelp)},
            {QStringLiteral("sorrel"), QString::fromUtf8(SorrelText::CommandLineSummary),
             ProgramHelpText(SorrelText::CommandLineHelp)},
            {QStringLiteral("garnet"), QString::fromUtf8(GarnetText::CommandLineSummary),
             ProgramHelpText(GarnetText::CommandLineHelp)},
    };
    const QStringList all {QStringLiteral("kestrel(1)"), QStringLiteral("sorrel(1)"),
                           QStringLiteral("garnet(1)"), QStringLiteral("quillery(1)")};
    const QString version = QStringLiteral(QUILLERY_VERSION_TEXT);
    bool ok = QDir().mkpath(folder);
    for (const ManualEntry &program : windowed) {
        QStringList others = all;
        others.removeAll(program.name + QStringLiteral("(1)"));
        ok = ok
                && write(folder + u'/' + program.name + QStringLiteral(".1"),
                         RenderManualPage(program, {}, version, others));
    }
    QStringList others = all;
    others.removeLast();
    ok = ok
            && write(folder + QStringLiteral("/quillery.1"),
                     RenderManualPage(quillery, subcommands, version, others))
            && write(folder + QStringLiteral("/quillery"),
                     RenderBashCompletion(QStringLiteral("quillery"), subcommands));
    return ok ? 0 : 1;
}

int makeIcon(const QString &svg, int size, const QString &png)
{
    QImageReader reader(svg);
    reader.setScaledSize(QSize(size, size));
    const QImage image = reader.read();
    if (image.isNull()) {
        std::fprintf(stderr, "make_dist_files: %s: %s\n", qPrintable(svg),
                     qPrintable(reader.errorString()));
        return 1;
    }
    if (!image.save(png, "PNG")) {
        std::fprintf(stderr, "make_dist_files: cannot write %s\n", qPrintable(png));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    // Rendering an icon needs a GUI application, never a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.size() == 2 && arguments.at(0) == QLatin1String("manuals"))
        return makeManuals(arguments.at(1));
    bool sizeOk = false;
    if (arguments.size() == 4 && arguments.at(0) == QLatin1String("icon")) {
        const int size = arguments.at(2).toInt(&sizeOk);
        if (sizeOk && size > 0)
            return makeIcon(arguments.at(1), size, arguments.at(3));
    }
    std::fprintf(stderr,
                 "usage: make_dist_files manuals <folder>\n"
                 "       make_dist_files icon <svg> <size> <png>\n");
    return 2;
}
