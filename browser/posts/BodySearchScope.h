#pragma once

// Where the search field looks: the room selected in the tree with every room below it,
// or the whole archive (every top-level room's post table) when no room is selected.
// A top-level room is its whole post table, posts of rooms the configuration does not
// name included.

#include "browser/rooms/RoomModel.h"
#include "browser/search/BodyIndex.h"

#include <string>
#include <vector>

struct BodySearchTable
{
    int rootIndex = 0;
    std::string table; // as the database looks it up
    BodySearchScope scope; // no roomids: the whole table
};

struct BodySearchPlace
{
    std::vector<BodySearchTable> tables; // in tree order; empty when there are no tables
    std::string label; // GBK: "全部帖子" or the room's path of names ("甲区 > 乙")
    bool wholeArchive = true;
};

BodySearchPlace BodySearchPlaceOf(const RoomModel &rooms, TreeItem selected);
