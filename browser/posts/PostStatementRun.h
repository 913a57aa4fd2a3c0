#pragma once

// Runs one statement of the delete and move commands: open, execute, close.

#include "browser/db/BoundStatement.h"

#include <string>
#include <vector>

struct StatementOutcome
{
    enum Stage { Done, OpenFailed, Failed };
    Stage stage = Done;
    long code = 0;
    std::string report; // the database layer's report of the failure (GBK)
};

StatementOutcome RunPostStatement(const std::string &connectionString,
                                  const BoundStatement &statement);

// The delete statement of posts (integer text topicids, as ComposeDeleteStatement takes
// them) with their entries in the table's body index, in one transaction: a search never
// finds a post that is gone. A table without a body index, or with one of other rules
// (which is rebuilt whole before it is searched), has no entries to remove.
StatementOutcome RunPostDelete(const std::string &connectionString, const BoundStatement &statement,
                               const std::string &table, const std::vector<std::string> &topicids);
