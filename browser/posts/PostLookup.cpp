#include "PostLookup.h"

#include "browser/db/BoundStatement.h"
#include "browser/db/CAdoManager.h"
#include "browser/db/DbEndpoint.h"
#include "browser/db/EmbeddedDatabase.h"

PostLookup FindPostById(const RoomModel &rooms, const std::string &connectionString,
                        long long topicid)
{
    PostLookup lookup;
    std::vector<std::string> names, tables;
    rooms.ListRootRooms(names, tables, nullptr);
    CAdoManager ado;
    if (ado.OpenAdoConnection(connectionString) != 0) {
        lookup.outcome = PostLookup::OpenFailed;
        lookup.report = ado.LastError();
        return lookup;
    }
    for (std::size_t root = 0; root < tables.size(); ++root) {
        // Named as the database looks it up, in the statement and in a failure.
        const std::string table = TableNameAsLookedUp(connectionString, tables[root]);
        if (table.empty())
            continue;
        if (!IsPlainTableName(table)) {
            lookup.failedTables.push_back(table);
            continue;
        }
        BoundStatement statement;
        statement.sql = "select * from " + table + " where topicid = ?";
        statement.display =
                "select * from " + table + " where topicid = " + std::to_string(topicid);
        statement.values.push_back(SqlValue::fromInteger(topicid));
        std::unique_ptr<CAdoRecordset> result;
        if (ado.ExecuteSql(statement, result, CAdoManager::CommandText) != 0) {
            lookup.failedTables.push_back(table);
            lookup.report = ado.LastError();
            continue;
        }
        if (!result->IsOpen() || result->IsEOF())
            continue;
        lookup.outcome = PostLookup::Found;
        lookup.rootIndex = int(root);
        lookup.info.title = result->Value("title").Text();
        lookup.info.topicidText = result->Value("topicid").Text();
        const CAdoValue roomid = result->Value("roomid");
        long long number = 0;
        if (!roomid.IsNull() && roomid.ToInt64(number)) {
            lookup.roomid = roomid.Text();
            lookup.info.roomid = static_cast<std::uint32_t>(number);
            lookup.info.roomname = rooms.FindRoomName(lookup.roomid);
        }
        break;
    }
    ado.CloseAdoConnection();
    return lookup;
}

int FindRoomRecord(const RoomModel &rooms, int rootIndex, const std::string &roomid)
{
    int any = -1;
    for (std::size_t i = 0; i < rooms.RecordCount(); ++i) {
        const RoomRecord record = rooms.GetRoomRecord(int(i));
        if (record.roomid != roomid)
            continue;
        if ((record.rootIndex & 0xFFFF) == rootIndex)
            return int(i);
        if (any < 0)
            any = int(i);
    }
    return any;
}
