#include "CPostFullScreenDialog.h"

#include "CPostView.h"
#include "browser/rooms/KestrelTexts.h"

#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>

CPostFullScreenDialog::CPostFullScreenDialog(QWidget *parent, const std::string &path,
                                             const std::string &archiveFolder)
    : QDialog(parent,
              Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                      | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint)
    , view_(new CPostView(this))
{
    setObjectName(QStringLiteral("FullScreenDialog136"));
    view_->setObjectName(QStringLiteral("FullScreenView1000"));
    setWindowTitle(QString::fromUtf8(KestrelText::FullScreenTitle));
    // The web view keeps the keys it gets, Escape too: these close the window wherever
    // the focus is.
    for (const QKeySequence &key : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::Key_F11)})
        connect(new QShortcut(key, this), &QShortcut::activated, this, &QDialog::reject);
    view_->Navigate(path, archiveFolder);
}

void CPostFullScreenDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Without a window manager a maximise request does nothing: take the screen too.
    if (const QScreen *shown = screen())
        setGeometry(shown->availableGeometry());
    setWindowState(windowState() | Qt::WindowMaximized);
}

void CPostFullScreenDialog::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    view_->setGeometry(0, 0, event->size().width(), event->size().height());
}
