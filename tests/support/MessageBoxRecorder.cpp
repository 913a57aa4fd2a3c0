#include "MessageBoxRecorder.h"

MessageBoxRecorder::MessageBoxRecorder()
{
    UiSeam::SetMessageBoxHandler([this](const UiSeam::MessageBoxCall &call) {
        calls_.append(call);
        if (answers_.empty())
            return QMessageBox::Ok;
        const QMessageBox::StandardButton answer = answers_.front();
        answers_.pop_front();
        return answer;
    });
    UiSeam::SetFileDialogHandler([this](const UiSeam::FileDialogCall &call) {
        fileDialogs_.append(call);
        if (paths_.empty())
            return QString();
        const QString path = paths_.front();
        paths_.pop_front();
        return path;
    });
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    UiSeam::SetMessageBoxHandler({});
    UiSeam::SetFileDialogHandler({});
}

QStringList MessageBoxRecorder::texts() const
{
    QStringList list;
    for (const auto &call : calls_)
        list.append(call.text);
    return list;
}
