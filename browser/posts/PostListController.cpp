#include "PostListController.h"

#include "PostQuery.h"
#include "browser/db/DbEndpoint.h"
#include "browser/rooms/PostListTexts.h"
#include "browser/rooms/RoomModel.h"
#include "common/Codec.h"
#include "common/TextFormat.h"

#include <algorithm>

PostListController::PostListController(const RoomModel &rooms, PostListDisplay &display)
    : rooms_(rooms)
    , display_(display)
    , pager_([&rooms](const std::string &roomid) { return rooms.FindRoomName(roomid); })
{
}

PostListController::~PostListController() = default;

void PostListController::OpenRoom(int recordIndex)
{
    if (recordIndex == currentRoomIndex_)
        return;
    const RoomRecord record = rooms_.GetRoomRecord(recordIndex);
    if (!record.treeItem)
        return;
    // The indices name the room whose rows are listed: after a failed query the rows of
    // the previous room stay, and so do its indices.
    const int rootIndex = record.rootIndex & 0xFFFF;
    const std::string table =
            TableNameAsLookedUp(rooms_.GetConnectionString(), rooms_.GetRootTable(rootIndex));
    if (RunPostQuery(RoomPostsQuery(table, record.roomid))) {
        currentRoomIndex_ = recordIndex;
        currentRootIndex_ = rootIndex;
        listedFind_.reset();
        paged_.reset();
    }
}

void PostListController::RefreshPosts()
{
    // Listing a room again by double-click keeps its rows; a refresh asks the database
    // again, so a shared archive shows what other users have added or removed since.
    if (currentRoomIndex_ >= 0) {
        const int room = ForgetCurrentRoom();
        OpenRoom(room);
        if (currentRoomIndex_ < 0)
            currentRoomIndex_ = room; // the query failed: its rows and indices stay
    } else if (listedFind_) {
        RunFindQuery(BoundStatement(*listedFind_), currentRootIndex_);
    } else if (paged_) {
        showPagedAt(0, false);
    }
}

void PostListController::PostRowsRemoved(const std::vector<std::string> &topicids)
{
    if (paged_) {
        pagedRemoved_ += topicids.size();
        display_.ShowQueryStatus(pagedStatus());
        return;
    }
    applyPage(pager_.RowsRemoved(topicids, display_.RowCount()));
}

int PostListController::ForgetCurrentRoom()
{
    const int listed = currentRoomIndex_;
    currentRoomIndex_ = -1;
    return listed;
}

void PostListController::ReleasePostResult()
{
    pager_.ReleaseResult();
}

void PostListController::ShowQueryStatus(const std::string &status)
{
    display_.ShowQueryStatus(status);
}

bool PostListController::RunPostQuery(const std::string &sql)
{
    return RunPostQuery(BoundStatement {sql, {}, {}});
}

void PostListController::RunFindQuery(const BoundStatement &query, int rootIndex)
{
    if (!RunPostQuery(query))
        return;
    currentRoomIndex_ = -1;
    currentRootIndex_ = rootIndex;
    listedFind_ = query;
    paged_.reset();
}

bool PostListController::RunPagedListing(std::unique_ptr<PagedPostSource> source, int rootIndex)
{
    std::unique_ptr<PagedPostSource> before = std::move(paged_);
    paged_ = std::move(source);
    if (!showPagedAt(0, true)) {
        paged_ = std::move(before);
        return false;
    }
    // Its rows replace the record set's: that one is let go.
    pager_.ReleaseResult();
    currentRoomIndex_ = -1;
    currentRootIndex_ = rootIndex;
    listedFind_.reset();
    return true;
}

int PostListController::RootIndexOfRow(int row) const
{
    const int own = paged_ ? paged_->RootIndexOfRow(row) : -1;
    return own >= 0 ? own : currentRootIndex_;
}

std::string PostListController::pagedStatus() const
{
    const long count = long(std::max(0LL, pagedCount_ - (long long)pagedRemoved_));
    const int rows = display_.RowCount();
    if (rows <= 0)
        return FormatText(Gbk::literal(PostListText::PageEmpty).c_str(), count);
    return FormatText(Gbk::literal(PostListText::PageShown).c_str(), count, int(pagedOffset_ + 1),
                      int(pagedOffset_ + rows));
}

bool PostListController::showPagedAt(long long offset, bool newListing)
{
    display_.QueryStarted(Gbk::literal(PostListText::Querying));
    PostColumnTable &columns = display_.Columns();
    // A new listing's columns are those of its rows; they are set only once its first page
    // was read, so a failure leaves the list as it was.
    PostColumnTable wanted = columns;
    if (newListing)
        wanted.RecomputeShown(paged_->FieldNames());
    long long count = 0;
    std::vector<PostListRow> rows;
    std::string message, details;
    const bool read = paged_->ReadPage(offset, wanted, count, rows, message, details);
    display_.QueryEnded();
    if (!read) {
        display_.ShowQueryFailure(message, details);
        display_.ShowQueryStatus(message);
        return false;
    }
    if (newListing) {
        columns = wanted;
        display_.ShowColumns(true);
    }
    pagedOffset_ = offset;
    pagedCount_ = count;
    pagedRemoved_ = 0;
    display_.ShowRows(rows);
    pageRows_ = int(rows.size());
    display_.ShowQueryStatus(pagedStatus());
    return true;
}

bool PostListController::RunPostQuery(const BoundStatement &query)
{
    display_.QueryStarted(Gbk::literal(PostListText::Querying));
    const PostQueryOutcome outcome = RunPostQueryInto(pager_, rooms_.GetConnectionString(), query);
    if (outcome.stage == PostQueryOutcome::Done) {
        // The query's rows replace a paged listing's.
        paged_.reset();
        display_.Columns().RecomputeShown(pager_.FieldNames());
        display_.ShowColumns(false);
        ShowFirstPage();
        display_.QueryEnded();
        return true;
    }
    // The message needs the normal cursor; the rows of the last query stay listed.
    display_.QueryEnded();
    const std::string message = outcome.stage == PostQueryOutcome::OpenFailed
            ? Gbk::literal(PostListText::OpenFailed)
            : FormatText(Gbk::literal(PostListText::QueryFailed).c_str(),
                         ShortenedText(query.shown()).c_str());
    // The database's own words (a refused connection, a table it did not find) go into the
    // details; the report shows no password.
    display_.ShowQueryFailure(message, outcome.report);
    display_.ShowQueryStatus(
            FormatText(Gbk::literal(PostListText::QueryStatusError).c_str(), outcome.code));
    return false;
}

void PostListController::applyPage(const std::optional<PostPage> &page)
{
    if (!page)
        return;
    if (page->replaceRows) {
        display_.ShowRows(page->rows);
        pageRows_ = int(page->rows.size());
    }
    display_.ShowQueryStatus(page->status);
}

void PostListController::ShowFirstPage()
{
    if (paged_) {
        showPagedAt(0, false);
        return;
    }
    applyPage(pager_.FirstPage(display_.Columns()));
}

void PostListController::ShowNextPage()
{
    if (paged_) {
        const long long next = pagedOffset_ + PostPager::PageSize;
        if (next >= pagedCount_)
            display_.ShowQueryStatus(FormatText(Gbk::literal(PostListText::LastPageReached).c_str(),
                                                long(pagedCount_)));
        else
            showPagedAt(next, false);
        return;
    }
    applyPage(pager_.NextPage(display_.Columns()));
}

void PostListController::ShowPreviousPage()
{
    if (paged_) {
        if (pagedOffset_ == 0)
            display_.ShowQueryStatus(FormatText(
                    Gbk::literal(PostListText::FirstPageReached).c_str(), long(pagedCount_)));
        else
            showPagedAt(std::max(0LL, pagedOffset_ - PostPager::PageSize), false);
        return;
    }
    // Rows that a delete or move took out of the list were still on the page.
    applyPage(pager_.PreviousPage(display_.Columns(), pageRows_));
}
