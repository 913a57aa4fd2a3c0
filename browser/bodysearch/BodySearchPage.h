#pragma once

// One page of a body search over a scope of the archive, as `quillery search` and
// Kestrel's result list show it: the index of each post table in scope is asked
// (BodyIndex::Search), the hits are merged newest (highest post ID) first, and the page's
// rows are read from the post tables with their files' paths; a snippet around the
// first hit is made, on request, for the page's rows only, from their files.

#include "browser/search/BodySnippet.h"
#include "browser/search/SearchQuery.h"

#include <string>
#include <vector>

class RoomModel;

// A post table in scope, with the top-level room whose post location entries give its
// files, and the rooms searched (roomids without a start-room marker; empty: all).
struct BodySearchTable
{
    std::string table;
    int rootIndex = -1;
    std::vector<std::string> roomids;
};

// The whole archive: every post table of the configuration once.
std::vector<BodySearchTable> ArchiveSearchScope(const RoomModel &rooms);
// A room of a top-level room (its roomid as the configuration writes it, a start-room
// marker allowed): the top-level room itself stands for its whole table, or for its own
// posts only without sub-rooms. False, with the reason (GBK), for a room the top-level
// room does not hold.
bool RoomSearchScope(const RoomModel &rooms, int rootIndex, const std::string &roomid,
                     bool withSubRooms, BodySearchTable &scope, std::string &problem);

struct BodySearchRow
{
    long long topicid = 0;
    std::string title; // GBK, as the post table holds them; empty when NULL or
    std::string roomid; // the table has no such column
    std::string author;
    std::string date;
    std::string path; // the post's file; empty when no post location entry holds it
    std::string table;
    int rootIndex = -1;
    bool hasSnippet = false;
    BodySnippet snippet;
};

struct BodySearchPageResult
{
    long long count = 0; // every post in scope that matches
    std::vector<BodySearchRow> rows; // the page, newest first
};

class BodySearchPage
{
public:
    // The bytes of a file a snippet is made from; a hit further on is not shown.
    static constexpr std::size_t SnippetReadBytes = std::size_t(8) << 20;

    // connection: with its placeholders expanded.
    BodySearchPage(RoomModel &rooms, std::string connection);

    // The count and the page of `limit` rows after the first `offset` ones. 0, or a code
    // with Problem() (GBK): BodyIndex::IndexMissing / IndexOtherVersion when a table in
    // scope has no usable index (ProblemTable() names it), a database's code otherwise.
    long Run(const std::vector<BodySearchTable> &scope, const SearchQuery &query, long long offset,
             int limit, bool snippets, BodySearchPageResult &result);

    // The snippet of one row (its file read again); for rows shown after Run.
    static void MakeSnippet(BodySearchRow &row, const SearchQuery &query);

    const std::string &Problem() const { return problem_; }
    const std::string &ProblemTable() const { return problemTable_; }

private:
    RoomModel &rooms_;
    std::string connection_;
    std::string problem_;
    std::string problemTable_;
};
