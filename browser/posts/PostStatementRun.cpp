#include "PostStatementRun.h"

#include "PostStatements.h"
#include "browser/db/CAdoManager.h"
#include "browser/db/DbEndpoint.h"
#include "browser/search/BodyIndex.h"

StatementOutcome RunPostStatement(const std::string &connectionString,
                                  const BoundStatement &statement)
{
    StatementOutcome outcome;
    CAdoManager ado;
    if (const long code = ado.OpenAdoConnection(connectionString))
        return {StatementOutcome::OpenFailed, code, ado.LastError()};
    const long code = ado.ExecuteSql(statement, CAdoManager::CommandText);
    ado.CloseAdoConnection();
    if (code)
        outcome = {StatementOutcome::Failed, code, ado.LastError()};
    return outcome;
}

StatementOutcome RunPostDelete(const std::string &connectionString, const BoundStatement &statement,
                               const std::string &table, const std::vector<std::string> &topicids)
{
    CAdoManager ado;
    if (const long code = ado.OpenAdoConnection(connectionString))
        return {StatementOutcome::OpenFailed, code, ado.LastError()};
    std::vector<long long> ids;
    for (const std::string &text : topicids) {
        long long id = 0;
        if (ParseIntegerText(text, id))
            ids.push_back(id);
    }
    BodyIndex index(ado, BodyIndex::EngineOf(connectionString),
                    TableNameAsLookedUp(connectionString, table));
    StatementOutcome outcome;
    const auto fail = [&](long code, const std::string &report) {
        ado.RollbackTransaction();
        outcome = {StatementOutcome::Failed, code, report};
    };
    if (const long code = ado.BeginTransaction()) {
        outcome = {StatementOutcome::Failed, code, ado.LastError()};
    } else if (const long deleted = ado.ExecuteSql(statement, CAdoManager::CommandText)) {
        fail(deleted, ado.LastError());
    } else if (const long removed = index.Remove(ids); removed != 0
               && removed != BodyIndex::IndexMissing && removed != BodyIndex::IndexOtherVersion) {
        fail(removed, index.Problem());
    } else if (const long flushed = removed == 0 ? index.Flush() : 0) {
        fail(flushed, index.Problem());
    } else if (const long committed = ado.CommitTransaction()) {
        fail(committed, ado.LastError());
    }
    ado.CloseAdoConnection();
    return outcome;
}
