#include "PlaceholderMessages.h"

#include "UiSeam.h"
#include "common/Codec.h"
#include "common/PlaceholderNotifier.h"

#include <QCoreApplication>
#include <QThread>

void InstallPlaceholderMessageBox()
{
    SetUnknownPlaceholderNotifier([](const std::string &placeholder) {
        const QString text = Gbk::toQString(placeholder);
        QCoreApplication *app = QCoreApplication::instance();
        if (!app)
            return;
        if (QThread::currentThread() == app->thread()) {
            UiSeam::ShowMessage(nullptr, text, QMessageBox::Warning);
            return;
        }
        QMetaObject::invokeMethod(
                app, [text] { UiSeam::ShowMessage(nullptr, text, QMessageBox::Warning); },
                Qt::QueuedConnection);
    });
}
