#include "UiSeam.h"

#include <QDialog>
#include <QFileDialog>

namespace UiSeam {

namespace {
QString &caption()
{
    static QString text;
    return text;
}
MessageBoxHandler &messageHandler()
{
    static MessageBoxHandler handler;
    return handler;
}
FileDialogHandler &fileHandler()
{
    static FileDialogHandler handler;
    return handler;
}
ModalHandler &modalHandler()
{
    static ModalHandler handler;
    return handler;
}
} // namespace

void SetProgramCaption(const QString &text)
{
    caption() = text;
}
QString ProgramCaption()
{
    return caption();
}

QMessageBox::StandardButton ShowMessage(QWidget *parent, const QString &text,
                                        QMessageBox::Icon icon,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton)
{
    return ShowDetailedMessage(parent, text, QString(), icon, buttons, defaultButton);
}

QMessageBox::StandardButton ShowDetailedMessage(QWidget *parent, const QString &text,
                                                const QString &details, QMessageBox::Icon icon,
                                                QMessageBox::StandardButtons buttons,
                                                QMessageBox::StandardButton defaultButton)
{
    const MessageBoxCall call {caption(), text, icon, buttons, defaultButton, details};
    if (messageHandler())
        return messageHandler()(call);
    QMessageBox box(icon, call.caption, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    if (!details.isEmpty())
        box.setDetailedText(details);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QString AskFilePath(QWidget *parent, const FileDialogCall &call)
{
    if (fileHandler())
        return fileHandler()(call);
    QFileDialog dialog(parent, call.caption, call.directory, call.filter);
    switch (call.kind) {
    case FileDialogCall::SaveFile:
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        break;
    case FileDialogCall::OpenFile:
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        break;
    case FileDialogCall::Directory:
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        break;
    }
    if (!call.confirmOverwrite)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!call.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(call.defaultSuffix);
    if (!call.fileName.isEmpty())
        dialog.selectFile(call.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

int ExecModal(QDialog &dialog)
{
    if (modalHandler())
        return modalHandler()(dialog);
    return dialog.exec();
}

void SetMessageBoxHandler(MessageBoxHandler handler)
{
    messageHandler() = std::move(handler);
}
void SetFileDialogHandler(FileDialogHandler handler)
{
    fileHandler() = std::move(handler);
}
void SetModalHandler(ModalHandler handler)
{
    modalHandler() = std::move(handler);
}

} // namespace UiSeam
