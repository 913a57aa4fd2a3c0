#pragma once

// The search field's side of the engine: where a search looks (the room selected in the
// tree with the rooms below it, or the whole archive), whether the indexes there can
// answer, and the hits as the post list pages them, with a snippet for the rows of the
// page shown only.

#include "browser/bodysearch/BodySearchPage.h"
#include "browser/posts/PostListController.h"
#include "browser/rooms/RoomModel.h"
#include "browser/search/SearchQuery.h"

#include <string>
#include <vector>

struct BodySearchPlace
{
    std::vector<BodySearchTable> tables; // empty: nothing to search
    std::string label; // GBK: "全部帖子", or the room's names from the top ("甲区 > 乙")
    std::string problem; // GBK, when tables is empty
    // The top-level room all rows come from, -1 when the place spans several tables.
    int rootIndex() const { return tables.size() == 1 ? tables.front().rootIndex : -1; }
};

// No room selected: the whole archive. A top-level room is its whole post table.
BodySearchPlace BodySearchPlaceOf(const RoomModel &rooms, TreeItem selected);

// Whether the tables' indexes can answer a search. 0 with `notReady` empty when they
// all can; 0 with `notReady` (GBK, a line for each table without a usable index) and
// `stale` when one is missing or made by other rules; a database's code with `problem`
// when the state could not be read.
long CheckBodyIndexes(const std::string &connection, const std::vector<BodySearchTable> &tables,
                      std::string &notReady, std::string &problem);

class BodyHitListing : public PagedPostSource
{
public:
    BodyHitListing(RoomModel &rooms, const std::string &connection,
                   std::vector<BodySearchTable> tables, SearchQuery query);

    std::vector<std::string> FieldNames() const override;
    bool ReadPage(long long offset, const PostColumnTable &columns, long long &count,
                  std::vector<PostListRow> &rows, std::string &message,
                  std::string &details) override;
    int RootIndexOfRow(int row) const override;

    const SearchQuery &query() const { return query_; }

private:
    const RoomModel &rooms_;
    BodySearchPage page_;
    std::vector<BodySearchTable> tables_;
    SearchQuery query_;
    std::vector<int> rowRoots_; // of the page last read
};
