#pragma once

#include <QObject>

class CLeftTreeView;
class CPostPanelFrame;
class QAction;
class QLineEdit;
class QToolBar;
class QWidget;

// The post ID field on the toolbar (Ctrl+G goes to it): Enter looks the ID up in the
// post tables of every top-level room, selects the post's room in the tree and opens
// the post in a tab.
class CGoToPost : public QObject
{
    Q_OBJECT
public:
    // The field goes on the toolbar, the shortcut on the window.
    CGoToPost(QWidget *window, QToolBar *toolBar, CLeftTreeView *tree, CPostPanelFrame *panel);

    QLineEdit *field() const { return field_; }
    QAction *shortcut() const { return shortcut_; }

    // Goes to the post whose ID is the text (as typed); false when it could not.
    bool GoToPost(const QString &text);

private:
    QWidget *window_;
    QToolBar *toolBar_;
    CLeftTreeView *tree_;
    CPostPanelFrame *panel_;
    QLineEdit *field_;
    QAction *shortcut_;
};
