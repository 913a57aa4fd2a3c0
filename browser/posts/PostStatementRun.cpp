#include "PostStatementRun.h"

#include "browser/db/CAdoManager.h"

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
