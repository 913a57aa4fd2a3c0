#pragma once

#include <QMainWindow>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class CBodySearch;
class CGoToPost;
class CImportController;
class CKestrelCommands;
class CLeftTreeView;
class CMainStatusBar;
class CMissingPosts;
class CPostCommands;
class CPostListView;
class CPostPanelFrame;
class CPostListDisplay;
class PostListController;
class QSplitter;

// Kestrel's main window: the room tree on the left, the post list above the post
// panel on the right, and the commands, wired to the controllers that run them.
class CMainFrame : public QMainWindow
{
    Q_OBJECT
public:
    CMainFrame();
    ~CMainFrame() override;

    // Loads the tree configuration into the room tree and selects the start room.
    // On failure shows the configuration error and returns false: the program ends.
    bool LoadConfiguration(const std::optional<std::string> &argument);

    CLeftTreeView *roomTree() const { return tree_; }
    CPostListView *postList() const { return list_; }
    CPostPanelFrame *postPanel() const { return panel_; }
    CMainStatusBar *mainStatusBar() const { return status_; }
    CKestrelCommands *commands() const { return commands_; }
    CPostCommands *postCommands() const { return postCommands_; }
    CGoToPost *goToPost() const { return goToPost_; }
    CBodySearch *bodySearch() const { return bodySearch_; }
    CMissingPosts *missingPosts() const { return missingPosts_; }
    QSplitter *columns() const { return columns_; }
    QSplitter *rows() const { return rows_; }

    // The post list: the room or search listed, its query, its pages.
    PostListController *postListing() const { return listing_.get(); }

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void OpenPostOfRow(int row);
    void ShowRoomProperties();
    void ShowAbout();
    void MoveFocusToPane(int step);
    void ApplyInitialPaneSizes();
    void PrepareDatabase();

    CKestrelCommands *commands_;
    CPostCommands *postCommands_;
    CGoToPost *goToPost_;
    CBodySearch *bodySearch_;
    CImportController *imports_;
    CMissingPosts *missingPosts_;
    CMainStatusBar *status_;
    QSplitter *columns_;
    QSplitter *rows_;
    CLeftTreeView *tree_;
    CPostListView *list_;
    CPostPanelFrame *panel_;
    bool sized_ = false;

    std::unique_ptr<CPostListDisplay> listDisplay_;
    std::unique_ptr<PostListController> listing_;
};
