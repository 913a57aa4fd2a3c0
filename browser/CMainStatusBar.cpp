#include "CMainStatusBar.h"

#include "LockKeyState.h"
#include "browser/ShellTexts.h"

#include <QLabel>
#include <QTimer>

namespace {
QLabel *indicatorPane(const char *text, QWidget *parent)
{
    auto *pane = new QLabel(QString::fromUtf8(text), parent);
    pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pane->setAlignment(Qt::AlignCenter);
    pane->setFixedWidth(pane->fontMetrics().horizontalAdvance(pane->text()) + 16);
    return pane;
}
} // namespace

CMainStatusBar::CMainStatusBar(QWidget *parent)
    : QStatusBar(parent)
    , lockTimer_(new QTimer(this))
{
    setSizeGripEnabled(true);
    panes_[0] = new QLabel(QString::fromUtf8(KestrelText::IdleStatus), this);
    panes_[0]->setFrameStyle(QFrame::NoFrame);
    // Wide enough for the longest command prompt.
    panes_[0]->setFixedWidth(panes_[0]->fontMetrics().horizontalAdvance(
                                     QString::fromUtf8(KestrelText::ImportToRoom.prompt))
                             + 12);
    panes_[1] = indicatorPane(KestrelText::CapsLockPane, this);
    panes_[2] = indicatorPane(KestrelText::NumLockPane, this);
    panes_[3] = new QLabel(this);
    panes_[3]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panes_[3]->setMinimumWidth(1);
    addWidget(panes_[0], 0);
    addWidget(panes_[1], 0);
    addWidget(panes_[2], 0);
    addWidget(panes_[3], 1);

    connect(lockTimer_, &QTimer::timeout, this, &CMainStatusBar::UpdateLockKeys);
    lockTimer_->start(500);
    UpdateLockKeys();
}

QLabel *CMainStatusBar::pane(int index) const
{
    return panes_[index];
}

void CMainStatusBar::SetPrompt(const QString &text)
{
    panes_[0]->setText(text.isEmpty() ? QString::fromUtf8(KestrelText::IdleStatus) : text);
}

void CMainStatusBar::SetQueryStatus(const QString &text)
{
    panes_[3]->setText(text);
}

void CMainStatusBar::UpdateLockKeys()
{
    const std::optional<LockKeys> keys = ReadLockKeys();
    const QString caps = QString::fromUtf8(KestrelText::CapsLockPane);
    const QString num = QString::fromUtf8(KestrelText::NumLockPane);
    if (!keys) {
        // The state is unknown here: the texts stand, greyed.
        panes_[1]->setText(caps);
        panes_[2]->setText(num);
        panes_[1]->setEnabled(false);
        panes_[2]->setEnabled(false);
        return;
    }
    panes_[1]->setEnabled(true);
    panes_[2]->setEnabled(true);
    panes_[1]->setText(keys->capsLock ? caps : QString());
    panes_[2]->setText(keys->numLock ? num : QString());
}
