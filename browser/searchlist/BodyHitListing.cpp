#include "BodyHitListing.h"

#include "browser/db/CAdoManager.h"
#include "browser/db/DbEndpoint.h"
#include "browser/posts/PostPager.h"
#include "browser/posts/PostStatements.h"
#include "browser/rooms/PostListTexts.h"
#include "browser/search/BodyIndex.h"
#include "browser/search/SearchTexts.h"
#include "common/Codec.h"

#include <QString>

namespace {

std::string formatted(const char *utf8, const std::string &first, const std::string &second = {},
                      const std::string &third = {})
{
    QString text = QString::fromUtf8(utf8).arg(Gbk::toQString(first));
    if (text.contains(QLatin1String("%2")))
        text = text.arg(Gbk::toQString(second));
    if (text.contains(QLatin1String("%3")))
        text = text.arg(Gbk::toQString(third));
    return Gbk::fromQString(text);
}

} // namespace

BodySearchPlace BodySearchPlaceOf(const RoomModel &rooms, TreeItem selected)
{
    BodySearchPlace place;
    if (!selected) {
        place.label = Gbk::literal(PostListText::WholeArchiveScope);
        place.tables = ArchiveSearchScope(rooms);
        if (place.tables.empty())
            place.problem = Gbk::literal(PostListText::NoTablesToSearch);
        return place;
    }
    for (TreeItem room = selected; room; room = room->parent)
        place.label = room->label + (place.label.empty() ? "" : " > " + place.label);
    const RoomRecord record = rooms.GetRoomRecordOfItem(selected);
    BodySearchTable table;
    if (RoomSearchScope(rooms, record.rootIndex & 0xFFFF, record.roomid, true, table,
                        place.problem))
        place.tables.push_back(std::move(table));
    return place;
}

long CheckBodyIndexes(const std::string &connection, const std::vector<BodySearchTable> &tables,
                      std::string &notReady, std::string &problem)
{
    notReady.clear();
    problem.clear();
    CAdoManager ado;
    if (const long code = ado.OpenAdoConnection(connection)) {
        problem = ado.LastError();
        return code;
    }
    const DbEngine engine = BodyIndex::EngineOf(connection);
    for (const BodySearchTable &table : tables) {
        const std::string name = TableNameAsLookedUp(connection, table.table);
        BodyIndex index(ado, engine, name);
        BodyIndex::State state = BodyIndex::State::Missing;
        int version = 0;
        if (const long code = index.GetState(state, version)) {
            problem = index.Problem();
            ado.CloseAdoConnection();
            return code;
        }
        if (state == BodyIndex::State::Missing)
            notReady += (notReady.empty() ? "" : "\n")
                    + formatted(PostListText::BodyIndexMissing, name);
        else if (state == BodyIndex::State::OtherVersion)
            notReady +=
                    (notReady.empty() ? "" : "\n") + formatted(PostListText::BodyIndexOld, name);
    }
    ado.CloseAdoConnection();
    return 0;
}

BodyHitListing::BodyHitListing(RoomModel &rooms, const std::string &connection,
                               std::vector<BodySearchTable> tables, SearchQuery query)
    : rooms_(rooms)
    , page_(rooms, connection)
    , tables_(std::move(tables))
    , query_(std::move(query))
{
}

std::vector<std::string> BodyHitListing::FieldNames() const
{
    // What a hit's row holds; the rest of the post table's columns are not read.
    return {"title", "topicid", "roomid", "username", "createtime"};
}

bool BodyHitListing::ReadPage(long long offset, const PostColumnTable &columns, long long &count,
                              std::vector<PostListRow> &rows, std::string &message,
                              std::string &details)
{
    BodySearchPageResult result;
    if (const long code = page_.Run(tables_, query_, offset, PostPager::PageSize, true, result)) {
        message = formatted(PostListText::BodySearchFailed, page_.Problem());
        details = "(" + std::to_string(code) + ") " + page_.Problem();
        return false;
    }
    count = result.count;
    rows.clear();
    rowRoots_.clear();
    for (BodySearchRow &hit : result.rows) {
        PostListRow row;
        for (int slot : columns.ShownSlots()) {
            const std::string &field = columns.slot(slot).fieldName;
            if (field == "title")
                row.values.emplace_back(hit.title);
            else if (field == "topicid")
                row.values.emplace_back(std::to_string(hit.topicid));
            else if (field == "roomid")
                row.values.emplace_back(rooms_.FindRoomName(hit.roomid));
            else if (field == "username")
                row.values.emplace_back(hit.author);
            else if (field == "createtime")
                row.values.emplace_back(hit.date);
            else
                row.values.emplace_back(std::nullopt);
        }
        // A room id that is no number names no room.
        long long roomNumber = 0;
        if (ParseIntegerText(hit.roomid, roomNumber))
            row.itemData = static_cast<std::uint32_t>(roomNumber);
        if (hit.hasSnippet) {
            row.snippet = hit.snippet.text;
            if (hit.snippet.found) {
                row.markBegin = hit.snippet.markBegin;
                row.markEnd = hit.snippet.markEnd;
            }
        }
        rowRoots_.push_back(hit.rootIndex);
        rows.push_back(std::move(row));
    }
    return true;
}

int BodyHitListing::RootIndexOfRow(int row) const
{
    return row >= 0 && std::size_t(row) < rowRoots_.size() ? rowRoots_[std::size_t(row)] : -1;
}
