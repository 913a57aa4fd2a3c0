#include "GuiStartup.h"

#include "PlaceholderMessages.h"
#include "UiSeam.h"
#include "common/AppFolders.h"
#include "common/Codec.h"
#include "common/ProgramInfo.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

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

bool InstallQtChineseTexts(QCoreApplication &app, QString *missing)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    // The base catalogue is required; the web view's is taken when it is installed.
    bool baseLoaded = false;
    for (const char *catalogue : {"qtbase_zh_CN", "qtwebengine_zh_CN"}) {
        const QString name = QString::fromLatin1(catalogue);
        auto *translator = new QTranslator(&app);
        if (translator->load(name, folder)) {
            QCoreApplication::installTranslator(translator);
            baseLoaded = baseLoaded || name.startsWith(QLatin1String("qtbase"));
            continue;
        }
        delete translator;
        if (name.startsWith(QLatin1String("qtbase")) && missing)
            *missing = folder + QLatin1Char('/') + name + QLatin1String(".qm");
    }
    return baseLoaded;
}

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

    QString missing;
    if (!InstallQtChineseTexts(app, &missing))
        std::fprintf(stderr,
                     "%s: Qt's Chinese texts (%s) are not installed; standard buttons and "
                     "file dialogs show in English. Install qt6-translations-l10n.\n",
                     programName, qPrintable(missing));
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
