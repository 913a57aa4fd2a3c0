#include "classifier/AutomationRegistration.h"
#include "classifier/CSorrelDlg.h"
#include "classifier/CSorrelDlgAutoProxy.h"
#include "classifier/SorrelTexts.h"

#include "common/GuiStartup.h"

#include <QApplication>
#include <QDBusConnection>

#include <cstdio>

int main(int argc, char **argv)
{
    return RunWindowedProgram(
            argc, argv, "Sorrel", SorrelText::CommandLineHelp, [](QApplication &app) {
                QApplication::setDesktopFileName(QStringLiteral("sorrel"));
                QApplication::setWindowIcon(SorrelIcon());
                // The window hides instead of closing while an automation client holds it.
                QApplication::setQuitOnLastWindowClosed(false);
                const bool automation = QApplication::arguments().contains(
                        QString::fromLatin1(SorrelText::AutomationSwitch));

                CSorrelDlg dialog;
                QObject::connect(&dialog, &QDialog::finished, &app, &QCoreApplication::quit);
                QString why;
                if (automation) {
                    auto *proxy = new CSorrelDlgAutoProxy(&dialog, QDBusConnection::sessionBus());
                    if (!proxy->Register(why))
                        std::fprintf(stderr,
                                     "Sorrel: %s cannot be offered on the session bus: %s\n",
                                     SorrelText::ServiceName, qPrintable(why));
                } else if (!WriteAutomationRegistration(QApplication::applicationFilePath(), why)) {
                    std::fprintf(stderr,
                                 "Sorrel: the activation file of %s cannot be written: %s\n",
                                 SorrelText::ServiceName, qPrintable(why));
                }
                dialog.show();
                return app.exec();
            });
}
