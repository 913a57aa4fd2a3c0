#include "BodySearchScope.h"

#include "browser/db/DbEndpoint.h"
#include "browser/rooms/PostListTexts.h"
#include "common/Codec.h"

namespace {

void addRoomAndBelow(const RoomModel &rooms, TreeItem room, std::vector<std::string> &roomids)
{
    const RoomRecord record = rooms.GetRoomRecordOfItem(room);
    if (!record.roomid.empty())
        roomids.push_back(record.roomid);
    for (TreeItem child : room->children)
        addRoomAndBelow(rooms, child, roomids);
}

} // namespace

BodySearchPlace BodySearchPlaceOf(const RoomModel &rooms, TreeItem selected)
{
    BodySearchPlace place;
    const std::string connection = rooms.GetConnectionString();
    if (!selected) {
        place.label = Gbk::literal(PostListText::WholeArchiveScope);
        for (TreeItem top : rooms.TopLevelItems()) {
            const int rootIndex = rooms.GetRoomRecordOfItem(top).rootIndex & 0xFFFF;
            const std::string table = rooms.GetRootTable(rootIndex);
            if (table.empty())
                continue;
            // Two top-level rooms may share a table: it is searched once.
            bool listed = false;
            for (const BodySearchTable &known : place.tables)
                listed = listed || known.table == TableNameAsLookedUp(connection, table);
            if (!listed)
                place.tables.push_back({rootIndex, TableNameAsLookedUp(connection, table), {}});
        }
        return place;
    }
    place.wholeArchive = false;
    const RoomRecord record = rooms.GetRoomRecordOfItem(selected);
    const int rootIndex = record.rootIndex & 0xFFFF;
    for (TreeItem room = selected; room; room = room->parent)
        place.label = room->label + (place.label.empty() ? "" : " > " + place.label);
    const std::string table = rooms.GetRootTable(rootIndex);
    if (table.empty())
        return place;
    BodySearchTable searched {rootIndex, TableNameAsLookedUp(connection, table), {}};
    if (selected->parent)
        addRoomAndBelow(rooms, selected, searched.scope.roomids);
    place.tables.push_back(std::move(searched));
    return place;
}
