#pragma once

#include "browser/db/BoundStatement.h"

#include <QMainWindow>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class CGoToPost;
class CImportController;
class CKestrelCommands;
class CLeftTreeView;
class CMainStatusBar;
class CPostCommands;
class CPostListView;
class CPostPanelFrame;
class PostPager;
struct PostPage;
class QSplitter;

// Kestrel's main window: the room tree on the left, the post list above the post
// panel on the right, the commands, and the state of the current post query.
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
    QSplitter *columns() const { return columns_; }
    QSplitter *rows() const { return rows_; }

    int currentRoomIndex() const { return currentRoomIndex_; }
    int currentRootIndex() const { return currentRootIndex_; }
    const PostPager &pager() const { return *pager_; }

    // Lists the posts of a room (its record index); a room already listed is left alone.
    void OpenRoom(int recordIndex);
    // Queries the listed room, or the last search, again (F5).
    void RefreshPosts();
    // Rows a delete or move took out of the list (their topicid texts): the status and
    // the pages from now on count them out.
    void PostRowsRemoved(const std::vector<std::string> &topicids);
    // Forgets the listed room, so that the next OpenRoom queries again; returns it.
    int ForgetCurrentRoom();
    // Lets the current query result go; the rows shown stay.
    void ReleasePostResult();

    // Runs a query of post rows and shows its first page (sql is GBK); false when it
    // failed and the list kept its rows.
    bool RunPostQuery(const std::string &sql);
    bool RunPostQuery(const BoundStatement &query);
    // A search lists rows of no one room, from the post table of rootIndex.
    void RunFindQuery(const BoundStatement &query, int rootIndex);
    void ShowFirstPage();
    void ShowNextPage();
    void ShowPreviousPage();

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void OpenPostOfRow(int row);
    void ShowRoomProperties();
    void ShowAbout();
    void MoveFocusToPane(int step);
    void ApplyInitialPaneSizes();
    void ApplyPage(const std::optional<PostPage> &page);
    void PrepareDatabase();

    CKestrelCommands *commands_;
    CPostCommands *postCommands_;
    CGoToPost *goToPost_;
    CImportController *imports_;
    CMainStatusBar *status_;
    QSplitter *columns_;
    QSplitter *rows_;
    CLeftTreeView *tree_;
    CPostListView *list_;
    CPostPanelFrame *panel_;
    bool sized_ = false;

    std::unique_ptr<PostPager> pager_;
    int currentRoomIndex_ = -1;
    int currentRootIndex_ = 0;
    int pageRows_ = 0; // rows of the page last shown, also after rows left the list
    std::optional<BoundStatement> listedFind_; // the search whose rows are listed
};
