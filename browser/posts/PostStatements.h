#pragma once

// The statements of the find, delete and move commands. Each is composed twice: the
// text the messages show (as the user knows it, values written in) and the statement
// actually sent, whose values are bound. A table name cannot be bound, so it must be a
// plain identifier; a topicid must be integer text; a roomid from the configuration
// loses its start-room marker.

#include "browser/db/BoundStatement.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class SqlDialect { SQLite, PostgreSQL };

// The dialect of the engine a connection string names (SQLite when it names none).
SqlDialect DialectOf(const std::string &connectionString);

// A "ROOMID" attribute as the configuration writes it, without a start-room marker: the
// text before the first "*" that is not its first character.
std::string RoomIdWithoutMarker(const std::string &attribute);

// Decimal integer text, an optional "-" and digits only, within 64 bits.
bool ParseIntegerText(const std::string &text, long long &value);

// The post ID of a listed row as the post location table can hold it: integer text in
// 0..4294967295. Outside that range the path look-up would saturate or wrap the ID to
// another post's, so such a post has no file that delete or move may touch.
std::optional<std::uint32_t> PostFileTopicId(const std::string &topicidText);

// A roomid for a statement: a number when it is integer text, otherwise the text.
SqlValue RoomIdValue(const std::string &roomid);

// Every "'" doubled (GBK, character by character).
std::string DoubleApostrophes(const std::string &gbk);
// The text for a LIKE pattern with "\" as the escape character: "_" and "\" match
// themselves, "%" stays a wildcard. Only single-byte characters are escaped, so the
// trail bytes 0x5C and 0x5F of a double-byte character stay as they are.
std::string EscapeLikeText(const std::string &gbk);

struct FindQueryInput
{
    std::string table;
    bool byTopicId = false; // search the post ID instead of the title
    std::string text; // GBK, as typed
    // The sub-room entries after "该论坛的所有帖子", as ListSubRooms gives them.
    std::vector<std::string> subRoomPaths;
    std::vector<std::string> subRoomIds;
    int subRoomEntry = 0; // 0: the whole table; s: subRoomPaths[s - 1]
    bool includeSubRooms = true;
};

// The roomids (markers removed) that the chosen sub-room entry stands for: the entry
// itself and, with includeSubRooms, the entries right after it whose paths continue its
// path with " -> ". Empty for entry 0.
std::vector<std::string> FindRoomIds(const FindQueryInput &input);

// The title index of a post table (TitleIndex.h).
std::string TitleIndexName(const std::string &table);
// Its match expression for a search text (GBK) when the index can answer it: every run
// between "%" wildcards of at least three characters as a quoted phrase, joined by AND.
// Empty when no run is that long.
std::string TitleIndexMatch(const std::string &text);

// False, with a message (GBK) in problem, when the table name is not a plain identifier.
// titleIndex: the table has a title index (TitleIndex.h) that the query may use.
bool ComposeFindQuery(const FindQueryInput &input, SqlDialect dialect, BoundStatement &statement,
                      std::string &problem, bool titleIndex = false);

// "delete from T where  topicid = 11 or topicid = 12". False, with a message in problem,
// for a table name that is not plain or a topicid that is not integer text.
bool ComposeDeleteStatement(const std::string &table, const std::vector<std::string> &topicids,
                            BoundStatement &statement, std::string &problem);

// "update T set roomid = 5 where  topicid = 11 or topicid = 12"; roomid as the
// configuration writes it (a marker is removed). False as above, and for an empty roomid.
bool ComposeMoveStatement(const std::string &table, const std::string &roomid,
                          const std::vector<std::string> &topicids, BoundStatement &statement,
                          std::string &problem);
