#pragma once

#include "browser/searchlist/BodyHitListing.h"

#include <QObject>
#include <QStringList>

class CKestrelCommands;
class CLeftTreeView;
class PostListController;
class QAction;
class QLabel;
class QLineEdit;
class QToolBar;
class QWidget;

// The search field on the toolbar ("全文查找...", Ctrl+Shift+F, goes to it): Enter
// searches the posts' bodies in the place the tree's selection names (shown beside the
// field) and lists the hits with a snippet each. When an index there is missing or made
// by other rules, the field says so and Enter offers to build it.
class CBodySearch : public QObject
{
    Q_OBJECT
public:
    CBodySearch(QWidget *window, const CKestrelCommands &commands, CLeftTreeView *tree,
                PostListController &listing);

    QLineEdit *field() const { return field_; }
    QLabel *scopeLabel() const { return scope_; }
    // "建立正文索引...": in the field while the place searched has no usable index.
    QAction *buildAction() const { return build_; }

    // Searches for the text as typed; false when the list was left as it was.
    bool Search(const QString &text);
    // Builds or updates the indexes of the place searched; true when it completed.
    bool BuildIndexes();
    // What a post opened from the list marks: the hits of the search listed, or nothing.
    QStringList HitPatternsOfList() const;

private:
    void focusField();
    void showPlace();
    void showIndexState(bool ready);
    bool indexesReady(const BodySearchPlace &place);

    QWidget *window_;
    QToolBar *toolBar_;
    CLeftTreeView *tree_;
    PostListController &listing_;
    QLineEdit *field_;
    QLabel *scope_;
    QAction *build_;
    const BodyHitListing *listed_ = nullptr; // the listing this object gave the list
    QStringList listedPatterns_;
};
