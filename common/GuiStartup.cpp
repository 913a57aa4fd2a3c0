#include "GuiStartup.h"

#include "PlaceholderMessages.h"
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

int RunWindowedProgram(int &argc, char **argv, const char *programName,
                       const std::function<int(QApplication &)> &body)
{
    startingProgram = programName;
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
    return body(app);
}
