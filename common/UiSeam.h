#pragma once

// Every message box, file or folder dialog and modal dialog of the programs goes
// through these calls, so that tests can intercept them, answer them and read them.

#include <QMessageBox>
#include <QString>

#include <functional>

class QDialog;
class QWidget;

namespace UiSeam {

// The caption of every message box: the program's title.
void SetProgramCaption(const QString &caption);
QString ProgramCaption();

struct MessageBoxCall
{
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    // The reason behind a message (a parser's or a database's own words), shown under
    // "Show Details..." so the fixed text of the message stays as it is.
    QString details;
};
using MessageBoxHandler = std::function<QMessageBox::StandardButton(const MessageBoxCall &)>;

QMessageBox::StandardButton
ShowMessage(QWidget *parent, const QString &text, QMessageBox::Icon icon = QMessageBox::Warning,
            QMessageBox::StandardButtons buttons = QMessageBox::Ok,
            QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
// The same with the reason in the box's details; an empty reason shows no details.
QMessageBox::StandardButton
ShowDetailedMessage(QWidget *parent, const QString &text, const QString &details,
                    QMessageBox::Icon icon = QMessageBox::Warning,
                    QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

struct FileDialogCall
{
    enum Kind { SaveFile, OpenFile, Directory };
    Kind kind = SaveFile;
    QString caption;
    QString directory; // start folder
    QString fileName; // proposed file name
    QString filter; // Qt filter list
    QString defaultSuffix;
    bool confirmOverwrite = true;
};
// Returns the chosen path, or an empty text when the user cancels.
using FileDialogHandler = std::function<QString(const FileDialogCall &)>;

QString AskFilePath(QWidget *parent, const FileDialogCall &call);

// Runs a modal dialog; a test handler may drive or answer it instead.
using ModalHandler = std::function<int(QDialog &)>;
int ExecModal(QDialog &dialog);

// Test hooks: an empty handler restores the real dialogs.
void SetMessageBoxHandler(MessageBoxHandler handler);
void SetFileDialogHandler(FileDialogHandler handler);
void SetModalHandler(ModalHandler handler);

} // namespace UiSeam
