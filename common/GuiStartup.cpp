#include "GuiStartup.h"

#include "AppFolders.h"
#include "Codec.h"
#include "PlaceholderMessages.h"
#include "ProgramInfo.h"
#include "UiSeam.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace {

const char *startingProgram = "";

bool platformNeedsNoDisplay()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    return !platform.isEmpty() && !platform.startsWith("xcb") && !platform.startsWith("wayland");
}

void reportNoDisplay()
{
    std::fprintf(stderr,
                 "%s: no graphical display is available. Start it from a desktop session, "
                 "or set DISPLAY (X11) or WAYLAND_DISPLAY.\n",
                 startingProgram);
}

// Qt ends the process when no platform plugin can start; say why first.
void startupMessageHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    std::fprintf(stderr, "%s\n", qPrintable(message));
    if (type == QtFatalMsg) {
        reportNoDisplay();
        std::_Exit(1);
    }
}

} // namespace

int RunWindowedProgram(int &argc, char **argv, const char *programName, const char *helpUtf8,
                       const std::function<int(QApplication &)> &body)
{
    startingProgram = programName;
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (const std::optional<QString> answer = AnswerInfoOption(arguments, programName, helpUtf8)) {
        std::fputs(answer->toLocal8Bit().constData(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (!platformNeedsNoDisplay() && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        reportNoDisplay();
        return 1;
    }
    // Programs with an embedded web view need this before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    const QtMessageHandler previous = qInstallMessageHandler(startupMessageHandler);
    QApplication app(argc, argv);
    qInstallMessageHandler(previous);

    QApplication::setApplicationName(QString::fromUtf8(programName));
    QApplication::setOrganizationName(QStringLiteral("Quillery"));
    UiSeam::SetProgramCaption(QString::fromUtf8(programName));
    InstallPlaceholderMessageBox();

    std::string problem;
    if (!AppFolders::PrepareDataFolder(AppFolders::CurrentLayout(), problem)) {
        const QString text = Gbk::toQString(problem);
        std::fprintf(stderr, "%s: %s\n", programName, qPrintable(text));
        UiSeam::ShowMessage(nullptr, text, QMessageBox::Critical);
        return 1;
    }
    return body(app);
}
