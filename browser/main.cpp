#include "browser/CMainFrame.h"
#include "browser/ShellTexts.h"
#include "common/FileSystem.h"
#include "common/GuiStartup.h"

#include <QApplication>

int main(int argc, char **argv)
{
    return RunWindowedProgram(argc, argv, KestrelText::ProgramCaption, KestrelText::CommandLineHelp,
                              [](QApplication &app) {
                                  // The first argument names another tree configuration, relative
                                  // to the program.
                                  std::optional<std::string> argument;
                                  if (app.arguments().size() > 1)
                                      argument = FileSystem::fromQtPath(app.arguments().at(1));
                                  QApplication::setDesktopFileName(QStringLiteral("kestrel"));
                                  CMainFrame frame;
                                  if (!frame.LoadConfiguration(argument))
                                      return 1;
                                  frame.show();
                                  return app.exec();
                              });
}
