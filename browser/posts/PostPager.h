#pragma once

// The query state of the post list: the current result and the page position, and
// the three paging steps. Each step reads its rows first and hands back what the list
// is to show, so a failure while reading leaves the list as it was.

#include "PostColumnTable.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

class CAdoRecordset;

struct PostListRow
{
    std::vector<std::optional<std::string>> values; // of the shown slots; nullopt for NULL
    std::uint32_t itemData = 0; // the post's roomid, unsigned like every room id
    // A body search's hit: the words around it (GBK), the hit at [markBegin, markEnd).
    std::optional<std::string> snippet;
    std::size_t markBegin = 0;
    std::size_t markEnd = 0;
};

struct PostPage
{
    bool replaceRows = false; // the list shows `rows` instead of what it shows now
    std::vector<PostListRow> rows;
    std::string status; // GBK, for the query status pane
};

class PostPager
{
public:
    static constexpr int PageSize = 100;
    using RoomNameLookup = std::function<std::string(const std::string &roomid)>;

    explicit PostPager(RoomNameLookup roomName);
    ~PostPager();

    // Closes and lets go the current result; no page is shown from it any more.
    void ReleaseResult();
    // The result of a new query, from its first page on (null: there is none).
    void TakeResult(std::unique_ptr<CAdoRecordset> result);
    bool HasOpenResult() const;
    const CAdoRecordset *result() const { return result_.get(); }
    std::vector<std::string> FieldNames() const;
    int rowsShown() const { return rowsShown_; }

    // nullopt: there is no open result, nothing happens.
    std::optional<PostPage> FirstPage(const PostColumnTable &columns);
    std::optional<PostPage> NextPage(const PostColumnTable &columns);
    std::optional<PostPage> PreviousPage(const PostColumnTable &columns, int rowsInList);

    // Rows a delete or move took out of the list (by their topicid text): paging does not
    // bring them back, and the counts shown from now on leave them out. Returns the status
    // of the page as it now stands.
    std::optional<PostPage> RowsRemoved(const std::vector<std::string> &topicids, int rowsInList);

private:
    PostPage readFailure(long code) const;
    long listedCount() const; // the result's rows less those taken out of the list
    bool currentRemoved() const;
    std::string pageStatus(int first, int rows) const;
    void readRow(const PostColumnTable &columns, const std::vector<int> &shown,
                 PostListRow &row) const;

    RoomNameLookup roomName_;
    std::unique_ptr<CAdoRecordset> result_;
    int rowsShown_ = 0;
    int pagePositions_ = 0; // positions of the result on the page shown; 0 before the first
    std::unordered_set<std::string> removed_; // topicid texts taken out of the list
};
