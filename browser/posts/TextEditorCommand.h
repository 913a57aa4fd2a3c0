#pragma once

// The text editor that opens an XML post as text: $VISUAL, else $EDITOR when it is
// a program with its own window, else the desktop's default (an empty program).

#include <QString>
#include <QStringList>

struct TextEditorCommand
{
    QString program; // empty: let the desktop choose
    QStringList arguments; // the file's path is appended as one more argument
};

// visual and editor are the variables' values; a value may carry arguments
// ("gedit --new-window"), split as a shell would split words, never run by one.
TextEditorCommand ChooseTextEditor(const QString &visual, const QString &editor);
