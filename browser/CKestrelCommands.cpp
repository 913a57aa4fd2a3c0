#include "CKestrelCommands.h"

#include "browser/ShellTexts.h"

#include <QAction>
#include <QIcon>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

namespace {
QAction *command(QObject *owner, const KestrelText::CommandText &text, const char *icon = nullptr)
{
    auto *action = new QAction(QString::fromUtf8(text.text), owner);
    action->setStatusTip(QString::fromUtf8(text.prompt));
    action->setToolTip(text.tooltip ? QString::fromUtf8(text.tooltip) : QString());
    if (icon)
        action->setIcon(QIcon(QString::fromLatin1(icon)));
    return action;
}
} // namespace

CKestrelCommands::CKestrelCommands(QMainWindow *window)
    : QObject(window)
{
    using namespace KestrelText;
    exit = command(this, Exit);
    toolBar = command(this, ToolBar);
    statusBar = command(this, StatusBar);
    roomProperties = command(this, RoomProperties);
    importToRoom = command(this, ImportToRoom);
    import = command(this, Import);
    checkMissing = command(this, CheckMissing);
    deletePosts = command(this, DeletePosts);
    movePosts = command(this, MovePosts);
    firstPage = command(this, FirstPage, ":/kestrel/first.svg");
    nextPage = command(this, NextPage, ":/kestrel/next.svg");
    previousPage = command(this, PreviousPage, ":/kestrel/previous.svg");
    findPosts = command(this, FindPosts, ":/kestrel/find.svg");
    bodySearch = command(this, BodySearch);
    refreshPosts = command(this, RefreshPosts);
    refreshPosts->setShortcut(QKeySequence(Qt::Key_F5));
    about = command(this, About);
    toolBar->setCheckable(true);
    statusBar->setCheckable(true);

    // The menus show these keys in their shortcut column.
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    findPosts->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    bodySearch->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    nextPage->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown));
    previousPage->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp));
    firstPage->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Home));
    deletePosts->setShortcut(QKeySequence(Qt::Key_Delete));
    for (QAction *listKey : {nextPage, previousPage, firstPage, deletePosts})
        listKey->setShortcutContext(Qt::WidgetWithChildrenShortcut);

    nextPane = new QAction(this);
    nextPane->setShortcut(QKeySequence(Qt::Key_F6));
    previousPane = new QAction(this);
    previousPane->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6));
    window->addAction(nextPane);
    window->addAction(previousPane);
    window->addAction(refreshPosts);

    QMenuBar *bar = window->menuBar();
    QMenu *file = bar->addMenu(QString::fromUtf8(MenuFile));
    file->addAction(exit);
    QMenu *view = bar->addMenu(QString::fromUtf8(MenuView));
    view->addAction(toolBar);
    view->addAction(statusBar);
    roomMenu = bar->addMenu(QString::fromUtf8(MenuRoom));
    roomMenu->addAction(roomProperties);
    roomMenu->addAction(importToRoom);
    roomMenu->addAction(import);
    roomMenu->addAction(checkMissing);
    roomMenu->addAction(refreshPosts);
    postMenu = bar->addMenu(QString::fromUtf8(MenuPost));
    postMenu->addAction(deletePosts);
    postMenu->addAction(movePosts);
    postMenu->addAction(firstPage);
    postMenu->addAction(nextPage);
    postMenu->addAction(previousPage);
    postMenu->addAction(findPosts);
    postMenu->addAction(bodySearch);
    QMenu *help = bar->addMenu(QString::fromUtf8(MenuHelp));
    help->addAction(about);

    mainToolBar = new QToolBar(window);
    mainToolBar->setObjectName(QStringLiteral("mainToolBar"));
    mainToolBar->setWindowTitle(QString::fromUtf8(ToolBar.tooltip));
    mainToolBar->setMovable(true);
    mainToolBar->setFloatable(true);
    mainToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    mainToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    mainToolBar->setIconSize(QSize(16, 16));
    mainToolBar->addAction(firstPage);
    mainToolBar->addAction(nextPage);
    mainToolBar->addAction(previousPage);
    mainToolBar->addSeparator();
    mainToolBar->addAction(findPosts);
    window->addToolBar(Qt::TopToolBarArea, mainToolBar);

    connect(toolBar, &QAction::toggled, mainToolBar, &QToolBar::setVisible);
    connect(mainToolBar, &QToolBar::visibilityChanged, toolBar, &QAction::setChecked);
    toolBar->setChecked(true);
    connect(exit, &QAction::triggered, window, &QMainWindow::close);
}

void CKestrelCommands::AttachListKeys(QWidget *tree, QWidget *list)
{
    for (QAction *pageKey : {nextPage, previousPage, firstPage}) {
        tree->addAction(pageKey);
        list->addAction(pageKey);
    }
    list->addAction(deletePosts);
}
