#include "TextEditorCommand.h"

#include <QFileInfo>
#include <QProcess>

namespace {
// Editors that need a terminal: started from a desktop program they would have none.
bool needsTerminal(const QString &program)
{
    static const QStringList terminalEditors {QStringLiteral("vi"),
                                              QStringLiteral("vim"),
                                              QStringLiteral("nvim"),
                                              QStringLiteral("nano"),
                                              QStringLiteral("pico"),
                                              QStringLiteral("ed"),
                                              QStringLiteral("ex"),
                                              QStringLiteral("joe"),
                                              QStringLiteral("jed"),
                                              QStringLiteral("micro"),
                                              QStringLiteral("mg"),
                                              QStringLiteral("ne"),
                                              QStringLiteral("mcedit"),
                                              QStringLiteral("editor"),
                                              QStringLiteral("sensible-editor"),
                                              QStringLiteral("vim.tiny"),
                                              QStringLiteral("vim.basic"),
                                              QStringLiteral("elvis"),
                                              QStringLiteral("kak"),
                                              QStringLiteral("hx"),
                                              QStringLiteral("zile")};
    return terminalEditors.contains(QFileInfo(program).fileName());
}

TextEditorCommand split(const QString &value)
{
    QStringList words = QProcess::splitCommand(value);
    if (words.isEmpty())
        return {};
    const QString program = words.takeFirst();
    return {program, words};
}
} // namespace

TextEditorCommand ChooseTextEditor(const QString &visual, const QString &editor)
{
    if (TextEditorCommand command = split(visual); !command.program.isEmpty())
        return command;
    if (TextEditorCommand command = split(editor);
        !command.program.isEmpty() && !needsTerminal(command.program))
        return command;
    return {};
}
