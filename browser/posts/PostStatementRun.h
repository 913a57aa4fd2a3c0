#pragma once

// Runs one statement of the delete and move commands: open, execute, close.

#include "browser/db/BoundStatement.h"

#include <string>

struct StatementOutcome
{
    enum Stage { Done, OpenFailed, Failed };
    Stage stage = Done;
    long code = 0;
    std::string report; // the database layer's report of the failure (GBK)
};

StatementOutcome RunPostStatement(const std::string &connectionString,
                                  const BoundStatement &statement);
