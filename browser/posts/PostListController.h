#pragma once

// The post list's one owner: which room (or search) is listed and from which top-level
// room's table, the query and its result, the page shown, the paging steps and what the
// query status pane says. It holds no widget: a PostListDisplay shows what it decides.

#include "PostPager.h"
#include "browser/db/BoundStatement.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class RoomModel;

// What the post list needs of the window. Texts are GBK.
class PostListDisplay
{
public:
    virtual ~PostListDisplay() = default;

    virtual PostColumnTable &Columns() = 0;
    virtual int RowCount() const = 0;
    // The columns of Columns() as now computed replace those shown.
    // snippets: a last column shows the words around each row's hit.
    virtual void ShowColumns(bool snippets) = 0;
    virtual void ShowRows(const std::vector<PostListRow> &rows) = 0;
    virtual void ShowQueryStatus(const std::string &status) = 0;
    // A query is running: the status is shown at once and the window looks busy until
    // QueryEnded.
    virtual void QueryStarted(const std::string &status) = 0;
    virtual void QueryEnded() = 0;
    // A query failed: the message, and the database's own words as details.
    virtual void ShowQueryFailure(const std::string &message, const std::string &details) = 0;
};

// A listing read a page at a time by position, as a body search gives its hits, instead
// of through a query's record set.
class PagedPostSource
{
public:
    virtual ~PagedPostSource() = default;

    // The fields its rows have: the columns shown.
    virtual std::vector<std::string> FieldNames() const = 0;
    // The rows at [offset, offset + PostPager::PageSize), for the shown slots of columns,
    // and how many rows there are in all. False, with a message and the details (GBK),
    // when they could not be read.
    virtual bool ReadPage(long long offset, const PostColumnTable &columns, long long &count,
                          std::vector<PostListRow> &rows, std::string &message,
                          std::string &details) = 0;
    // The top-level room of a row of the page last read (its post table and files);
    // -1: the listing's own.
    virtual int RootIndexOfRow(int) const { return -1; }
};

class PostListController
{
public:
    PostListController(const RoomModel &rooms, PostListDisplay &display);
    ~PostListController();
    PostListController(const PostListController &) = delete;
    PostListController &operator=(const PostListController &) = delete;

    // The room listed (its record index), -1 for a search or nothing; the top-level room
    // whose post table the rows come from.
    int currentRoomIndex() const { return currentRoomIndex_; }
    int currentRootIndex() const { return currentRootIndex_; }
    const PostPager &pager() const { return pager_; }

    // Lists the posts of a room (its record index); a room already listed is left alone.
    void OpenRoom(int recordIndex);
    // Queries the listed room, or the last search, again.
    void RefreshPosts();
    // Rows a delete or move took out of the list (their topicid texts): the status and
    // the pages from now on count them out.
    void PostRowsRemoved(const std::vector<std::string> &topicids);
    // Forgets the listed room, so that the next OpenRoom queries again; returns it.
    int ForgetCurrentRoom();
    // Lets the current query result go; the rows shown stay.
    void ReleasePostResult();
    // A word for the query status pane from elsewhere (GBK).
    void ShowQueryStatus(const std::string &status);

    // Runs a query of post rows and shows its first page (sql is GBK); false when it
    // failed and the list kept its rows.
    bool RunPostQuery(const std::string &sql);
    bool RunPostQuery(const BoundStatement &query);
    // A search lists rows of no one room, from the post table of rootIndex.
    void RunFindQuery(const BoundStatement &query, int rootIndex);
    // Lists a paged source from its first page, its rows from the post table of
    // rootIndex; false when that page could not be read and the list kept its rows.
    bool RunPagedListing(std::unique_ptr<PagedPostSource> source, int rootIndex);
    // The paged source listed, or null.
    const PagedPostSource *pagedListing() const { return paged_.get(); }
    // The top-level room whose table and post location entries a listed row belongs to.
    int RootIndexOfRow(int row) const;

    void ShowFirstPage();
    void ShowNextPage();
    void ShowPreviousPage();

private:
    void applyPage(const std::optional<PostPage> &page);
    bool showPagedAt(long long offset, bool newListing);
    std::string pagedStatus() const;

    const RoomModel &rooms_;
    PostListDisplay &display_;
    PostPager pager_;
    int currentRoomIndex_ = -1;
    int currentRootIndex_ = 0;
    int pageRows_ = 0; // rows of the page last shown, also after rows left the list
    std::optional<BoundStatement> listedFind_; // the search whose rows are listed
    std::unique_ptr<PagedPostSource> paged_; // or the paged source listed
    long long pagedOffset_ = 0;
    long long pagedCount_ = 0;
    std::size_t pagedRemoved_ = 0; // rows a delete or move took out since the page was read
};
