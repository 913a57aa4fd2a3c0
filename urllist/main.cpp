#include "urllist/CGarnetDlg.h"
#include "urllist/GarnetTexts.h"

#include "common/GuiStartup.h"
#include "common/UiSeam.h"

#include <QApplication>

int main(int argc, char **argv)
{
    return RunWindowedProgram(argc, argv, "Garnet", GarnetText::CommandLineHelp,
                              [](QApplication &) {
                                  QApplication::setDesktopFileName(QStringLiteral("garnet"));
                                  QApplication::setWindowIcon(GarnetIcon());
                                  CGarnetDlg dialog;
                                  UiSeam::ExecModal(dialog);
                                  return 0;
                              });
}
