#pragma once

#include <QObject>

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;
class QWidget;

// Kestrel's commands with their texts, prompts and tooltips, and the menus and the
// toolbar that show them. The "所属类型" and "帖子功能" menus double as the context
// menus of the room tree and the post list.
class CKestrelCommands : public QObject
{
    Q_OBJECT
public:
    explicit CKestrelCommands(QMainWindow *window);

    // The paging keys work in the room tree and the post list, Delete in the list only:
    // in the post view and in fields these keys keep their editing meaning.
    void AttachListKeys(QWidget *tree, QWidget *list);

    QAction *exit;
    QAction *toolBar;
    QAction *statusBar;
    QAction *roomProperties;
    QAction *importToRoom;
    QAction *import;
    QAction *checkMissing;
    QAction *deletePosts;
    QAction *movePosts;
    QAction *firstPage;
    QAction *nextPage;
    QAction *previousPage;
    QAction *findPosts;
    QAction *bodySearch; // Ctrl+Shift+F: to the search field on the toolbar
    QAction *refreshPosts; // F5
    QAction *about;
    QAction *nextPane;
    QAction *previousPane;

    QMenu *roomMenu;
    QMenu *postMenu;
    QToolBar *mainToolBar;
};
