#pragma once

// Runs a post query into the pager's result: open the connection, execute, close.

#include "browser/db/BoundStatement.h"

#include <string>

class PostPager;

struct PostQueryOutcome
{
    enum Stage { Done, OpenFailed, QueryFailed };
    Stage stage = Done;
    long code = 0;
    std::string report; // the database layer's report of the failure (GBK)
};

PostQueryOutcome RunPostQueryInto(PostPager &pager, const std::string &connectionString,
                                  const BoundStatement &query);
inline PostQueryOutcome RunPostQueryInto(PostPager &pager, const std::string &connectionString,
                                         const std::string &sql)
{
    return RunPostQueryInto(pager, connectionString, BoundStatement {sql, {}, {}});
}

// "select * from <table> where roomid=?" with the room's ID bound (an integer when it is
// integer text), so whatever a configuration holds as a room ID is only ever compared;
// the statement shown in messages reads "select * from <table> where roomid=<roomid>".
BoundStatement RoomPostsQuery(const std::string &table, const std::string &roomid);
