#pragma once

#include <QObject>

class CMainFrame;
class QAction;
class QLineEdit;

// The post ID field on the toolbar (Ctrl+G goes to it): Enter looks the ID up in the
// post tables of every top-level room, selects the post's room in the tree and opens
// the post in a tab.
class CGoToPost : public QObject
{
    Q_OBJECT
public:
    explicit CGoToPost(CMainFrame *frame);

    QLineEdit *field() const { return field_; }
    QAction *shortcut() const { return shortcut_; }

    // Goes to the post whose ID is the text (as typed); false when it could not.
    bool GoToPost(const QString &text);

private:
    CMainFrame *frame_;
    QLineEdit *field_;
    QAction *shortcut_;
};
