#include "PostQuery.h"

#include "PostPager.h"
#include "PostStatements.h"
#include "browser/db/CAdoManager.h"
#include "browser/rooms/PostListTexts.h"
#include "common/Codec.h"
#include "common/TextFormat.h"

PostQueryOutcome RunPostQueryInto(PostPager &pager, const std::string &connectionString,
                                  const BoundStatement &query)
{
    PostQueryOutcome outcome;
    // The old result goes first: a query that fails leaves none open.
    pager.ReleaseResult();
    std::unique_ptr<CAdoRecordset> result;
    CAdoManager ado;
    if (const long code = ado.OpenAdoConnection(connectionString)) {
        outcome = {PostQueryOutcome::OpenFailed, code, ado.LastError()};
        return outcome;
    }
    const long code = ado.ExecuteSql(query, result, CAdoManager::CommandText);
    ado.CloseAdoConnection();
    pager.TakeResult(std::move(result));
    if (code)
        outcome = {PostQueryOutcome::QueryFailed, code, ado.LastError()};
    return outcome;
}

BoundStatement RoomPostsQuery(const std::string &table, const std::string &roomid)
{
    const std::string text = Gbk::literal(PostListText::RoomQuery);
    return BoundStatement {FormatText(text.c_str(), table.c_str(), "?"),
                           {RoomIdValue(roomid)},
                           FormatText(text.c_str(), table.c_str(), roomid.c_str())};
}
