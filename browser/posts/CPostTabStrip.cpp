#include "CPostTabStrip.h"

#include "browser/rooms/KestrelTexts.h"

#include <QAction>
#include <QResizeEvent>
#include <QSignalBlocker>
#include <QToolBar>
#include <QToolButton>

namespace {
QAction *stripCommand(QObject *owner, const KestrelText::CommandText &text, const char *icon)
{
    auto *action =
            new QAction(QIcon(QString::fromLatin1(icon)), QString::fromUtf8(text.tooltip), owner);
    action->setStatusTip(QString::fromUtf8(text.prompt));
    action->setToolTip(QString::fromUtf8(text.tooltip));
    return action;
}
} // namespace

int CPostTabBar::MeasureTab(int index, const QString &label)
{
    const QSignalBlocker quiet(this);
    setTabText(index, label);
    return tabSizeHint(index).width();
}

QSize CPostTabBar::tabSizeHint(int index) const
{
    return QSize(QTabBar::tabSizeHint(index).width(), TabHeight);
}

QSize CPostTabBar::minimumTabSizeHint(int) const
{
    return QSize(1, TabHeight);
}

CPostTabStrip::CPostTabStrip(QWidget *parent)
    : QWidget(parent)
    , tabBar_(new CPostTabBar(this))
    , toolBar_(new QToolBar(this))
{
    tabBar_->setElideMode(Qt::ElideNone);
    tabBar_->setUsesScrollButtons(false);
    tabBar_->setExpanding(false);
    tabBar_->setDrawBase(true);
    tabBar_->setFocusPolicy(Qt::TabFocus);

    using namespace KestrelText;
    saveAction = stripCommand(this, SavePost, ":/kestrel/save.svg");
    editAction = stripCommand(this, EditPost, ":/kestrel/edit.svg");
    fullScreenAction = stripCommand(this, FullScreenPost, ":/kestrel/fullscreen.svg");
    closeAction = stripCommand(this, ClosePost, ":/kestrel/close.svg");
    toolBar_->setIconSize(QSize(14, 12));
    toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setContentsMargins(0, 0, 0, 0);
    toolBar_->setStyleSheet(
            QStringLiteral("QToolBar { border: 0px; padding: 0px; spacing: 0px; }"));
    // The edit button stays pressed while the page is being edited.
    editAction->setCheckable(true);
    closeAction->setShortcuts(
            {QKeySequence(Qt::CTRL | Qt::Key_W), QKeySequence(Qt::CTRL | Qt::Key_F4)});
    fullScreenAction->setShortcut(QKeySequence(Qt::Key_F11));
    for (QAction *action : {saveAction, editAction, fullScreenAction, closeAction}) {
        toolBar_->addAction(action);
        // Tab reaches the buttons after the tabs, as it reaches any other button.
        toolBar_->widgetForAction(action)->setFocusPolicy(Qt::TabFocus);
    }
    setFixedHeight(CPostTabBar::TabHeight);
}

void CPostTabStrip::layoutStrip(int width)
{
    const QList<QToolButton *> buttons = toolBar_->findChildren<QToolButton *>();
    const QWidget *first = toolBar_->widgetForAction(saveAction);
    const int buttonWidth = first ? first->sizeHint().width()
                                  : (buttons.isEmpty() ? 20 : buttons.first()->sizeHint().width());
    toolBarWidth_ = int(toolBar_->actions().size()) * buttonWidth;
    toolBar_->setGeometry(width - toolBarWidth_, 1, toolBarWidth_, 19);
    tabAreaWidth_ = width - toolBarWidth_;
    tabBar_->setGeometry(0, 0, std::max(0, tabAreaWidth_), CPostTabBar::TabHeight);
}

void CPostTabStrip::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (event->size().width() > 0) {
        layoutStrip(event->size().width());
        Q_EMIT laidOut();
    }
}
