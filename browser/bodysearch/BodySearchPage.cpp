#include "BodySearchPage.h"

#include "BodySearchTexts.h"
#include "browser/db/CAdoManager.h"
#include "browser/db/DbEndpoint.h"
#include "browser/posts/PostStatements.h"
#include "browser/rooms/RoomModel.h"
#include "browser/search/BodyIndex.h"
#include "common/Codec.h"
#include "common/FileSystem.h"

#include <QString>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <map>
#include <memory>

namespace {

std::string text(const CAdoValue &value)
{
    return value.IsNull() ? std::string() : value.Text();
}

// At most `limit` bytes of a regular file; false when it cannot be opened or read.
bool readFileStart(const std::string &path, std::size_t limit, std::string &bytes)
{
    std::error_code error;
    const int fd = FileSystem::openDescriptor(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC, error);
    if (fd < 0)
        return false;
    struct stat info
    {
    };
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    bytes.clear();
    std::string chunk(std::size_t(1) << 20, '\0');
    while (ok && bytes.size() < limit) {
        const ssize_t n = ::read(fd, chunk.data(), std::min(chunk.size(), limit - bytes.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        bytes.append(chunk.data(), std::size_t(n));
    }
    ::close(fd);
    return ok;
}

struct Hit
{
    long long topicid = 0;
    std::size_t table = 0; // index into the scope
};

} // namespace

std::vector<BodySearchTable> ArchiveSearchScope(const RoomModel &rooms)
{
    std::vector<std::string> names, tables;
    rooms.ListRootRooms(names, tables, nullptr);
    std::vector<BodySearchTable> scope;
    for (std::size_t i = 0; i < tables.size(); ++i) {
        const bool seen = std::any_of(scope.begin(), scope.end(), [&](const BodySearchTable &t) {
            return t.table == tables[i];
        });
        if (!tables[i].empty() && !seen)
            scope.push_back({tables[i], int(i), {}});
    }
    return scope;
}

bool RoomSearchScope(const RoomModel &rooms, int rootIndex, const std::string &roomid,
                     bool withSubRooms, BodySearchTable &scope, std::string &problem)
{
    std::vector<std::string> names, tables, rootIds;
    rooms.ListRootRooms(names, tables, &rootIds);
    if (rootIndex < 0 || std::size_t(rootIndex) >= tables.size() || tables[rootIndex].empty()) {
        problem = Gbk::fromQString(QString::fromUtf8(BodySearchText::NoTables));
        return false;
    }
    scope = {tables[rootIndex], rootIndex, {}};
    const std::string wanted = RoomIdWithoutMarker(roomid);
    if (rootIds.size() > std::size_t(rootIndex)
        && RoomIdWithoutMarker(rootIds[rootIndex]) == wanted) {
        if (!withSubRooms)
            scope.roomids.push_back(wanted);
        return true;
    }
    FindQueryInput input;
    input.includeSubRooms = withSubRooms;
    rooms.ListSubRooms(rootIndex, input.subRoomPaths, input.subRoomIds);
    for (std::size_t i = 0; i < input.subRoomIds.size() && input.subRoomEntry == 0; ++i) {
        if (RoomIdWithoutMarker(input.subRoomIds[i]) == wanted)
            input.subRoomEntry = int(i) + 1;
    }
    if (input.subRoomEntry == 0) {
        problem = Gbk::fromQString(
                QString::fromUtf8(BodySearchText::UnknownRoom)
                        .arg(Gbk::toQString(names[rootIndex]), Gbk::toQString(wanted)));
        return false;
    }
    scope.roomids = FindRoomIds(input);
    return true;
}

BodySearchPage::BodySearchPage(RoomModel &rooms, std::string connection)
    : rooms_(rooms)
    , connection_(std::move(connection))
{
}

long BodySearchPage::Run(const std::vector<BodySearchTable> &scope, const SearchQuery &query,
                         long long offset, int limit, bool snippets, BodySearchPageResult &result)
{
    result = BodySearchPageResult();
    problem_.clear();
    problemTable_.clear();
    offset = std::max(0LL, offset);
    limit = std::max(0, limit);
    CAdoManager ado;
    if (const long code = ado.OpenAdoConnection(connection_)) {
        problem_ = ado.LastError();
        return code;
    }
    const DbEngine engine = BodyIndex::EngineOf(connection_);
    // Each table gives its newest offset + limit hits; the page is cut from their merge.
    const long long wanted = offset + limit;
    const int perTable = int(std::min<long long>(wanted, std::numeric_limits<int>::max()));
    std::vector<Hit> hits;
    std::vector<std::string> tables;
    for (std::size_t t = 0; t < scope.size(); ++t) {
        tables.push_back(TableNameAsLookedUp(connection_, scope[t].table));
        BodyIndex index(ado, engine, tables.back());
        BodySearchResult found;
        if (const long code = index.Search(query, {scope[t].roomids}, 0, perTable, found)) {
            problem_ = index.Problem();
            problemTable_ = tables.back();
            ado.CloseAdoConnection();
            return code;
        }
        result.count += found.count;
        for (long long id : found.topicids)
            hits.push_back({id, t});
    }
    std::stable_sort(hits.begin(), hits.end(),
                     [](const Hit &a, const Hit &b) { return a.topicid > b.topicid; });
    if (std::size_t(offset) >= hits.size())
        hits.clear();
    else
        hits = std::vector<Hit>(hits.begin() + offset,
                                hits.begin() + std::min<long long>(wanted, (long long)hits.size()));

    // The rows of the page, table by table; the table names were checked by the index.
    std::map<std::pair<std::size_t, long long>, BodySearchRow> rows;
    for (std::size_t t = 0; t < scope.size(); ++t) {
        BoundStatement select;
        for (const Hit &hit : hits) {
            if (hit.table != t)
                continue;
            select.sql += select.values.empty() ? "?" : ", ?";
            select.values.push_back(SqlValue::fromInteger(hit.topicid));
        }
        if (select.values.empty())
            continue;
        select.sql = "select * from " + tables[t] + " where topicid in (" + select.sql + ")";
        std::unique_ptr<CAdoRecordset> rs;
        if (const long code = ado.ExecuteSql(select, rs, CAdoManager::CommandText)) {
            problem_ = ado.LastError();
            problemTable_ = tables[t];
            ado.CloseAdoConnection();
            return code;
        }
        for (; rs->IsOpen() && !rs->IsEOF(); rs->MoveNext()) {
            BodySearchRow row;
            rs->Value("topicid").ToInt64(row.topicid);
            row.title = text(rs->Value("title"));
            row.roomid = text(rs->Value("roomid"));
            row.author = text(rs->Value("username"));
            row.date = text(rs->Value("createtime"));
            row.table = tables[t];
            row.rootIndex = scope[t].rootIndex;
            rows[{t, row.topicid}] = std::move(row);
        }
    }
    ado.CloseAdoConnection();

    for (const Hit &hit : hits) {
        const auto found = rows.find({hit.table, hit.topicid});
        if (found == rows.end())
            continue; // deleted between the search and the read
        BodySearchRow &row = found->second;
        PostRowInfo info;
        info.title = row.title;
        info.topicidText = std::to_string(row.topicid);
        long long room = 0;
        if (ParseIntegerText(row.roomid, room)) {
            info.roomid = static_cast<std::uint32_t>(room);
            info.roomname = rooms_.FindRoomName(row.roomid);
        }
        if (row.rootIndex >= 0 && PostFileTopicId(info.topicidText))
            row.path = FileSystem::normalize(rooms_.LocatePostFile(info, row.rootIndex));
        if (snippets)
            MakeSnippet(row, query);
        result.rows.push_back(std::move(row));
    }
    return 0;
}

void BodySearchPage::MakeSnippet(BodySearchRow &row, const SearchQuery &query)
{
    row.hasSnippet = false;
    row.snippet = BodySnippet();
    std::string bytes;
    if (row.path.empty() || !readFileStart(row.path, SnippetReadBytes, bytes))
        return;
    row.snippet = MakeBodySnippet(bytes, query);
    row.hasSnippet = true;
}
