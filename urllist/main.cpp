#include "CGarnetDlg.h"

#include "common/UiSeam.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Garnet"));
    QApplication::setDesktopFileName(QStringLiteral("garnet"));
    QApplication::setWindowIcon(GarnetIcon());
    UiSeam::SetProgramCaption(QStringLiteral("Garnet"));

    CGarnetDlg dialog;
    UiSeam::ExecModal(dialog);
    return 0;
}
