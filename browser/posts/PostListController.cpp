#include "PostListController.h"

#include "PostQuery.h"
#include "browser/db/DbEndpoint.h"
#include "browser/rooms/PostListTexts.h"
#include "browser/rooms/RoomModel.h"
#include "common/Codec.h"
#include "common/TextFormat.h"

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
    }
}

void PostListController::PostRowsRemoved(const std::vector<std::string> &topicids)
{
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
}

bool PostListController::RunPostQuery(const BoundStatement &query)
{
    display_.QueryStarted(Gbk::literal(PostListText::Querying));
    const PostQueryOutcome outcome = RunPostQueryInto(pager_, rooms_.GetConnectionString(), query);
    if (outcome.stage == PostQueryOutcome::Done) {
        display_.Columns().RecomputeShown(pager_.FieldNames());
        display_.ShowColumns();
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
    applyPage(pager_.FirstPage(display_.Columns()));
}

void PostListController::ShowNextPage()
{
    applyPage(pager_.NextPage(display_.Columns()));
}

void PostListController::ShowPreviousPage()
{
    // Rows that a delete or move took out of the list were still on the page.
    applyPage(pager_.PreviousPage(display_.Columns(), pageRows_));
}
