#pragma once

// Intercepts the programs' message boxes and file dialogs for the life of the object:
// records each call and answers it.

#include "common/UiSeam.h"

#include <QStringList>

#include <deque>

class MessageBoxRecorder
{
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();

    // Answers for the coming message boxes, in order; Ok when none is queued.
    void queueAnswer(QMessageBox::StandardButton answer) { answers_.push_back(answer); }
    // Paths for the coming file dialogs; an empty text cancels.
    void queuePath(const QString &path) { paths_.push_back(path); }

    const QList<UiSeam::MessageBoxCall> &calls() const { return calls_; }
    QStringList texts() const;
    QString lastText() const { return calls_.isEmpty() ? QString() : calls_.constLast().text; }
    const QList<UiSeam::FileDialogCall> &fileDialogs() const { return fileDialogs_; }
    void clear() { calls_.clear(); }

private:
    QList<UiSeam::MessageBoxCall> calls_;
    QList<UiSeam::FileDialogCall> fileDialogs_;
    std::deque<QMessageBox::StandardButton> answers_;
    std::deque<QString> paths_;
};
