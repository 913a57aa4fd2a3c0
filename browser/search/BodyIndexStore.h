#pragma once

// The engine-specific half of BodyIndex: the statements of one engine. BodyIndex checks
// names and versions and opens the transactions; a store only runs statements.

#include "BodyIndex.h"

#include "browser/db/BoundStatement.h"
#include "browser/db/CAdoRecordset.h"

#include <memory>
#include <string>
#include <vector>

class CAdoManager;

class BodyIndexStore
{
public:
    BodyIndexStore(CAdoManager &ado, std::string table)
        : ado_(ado)
        , table_(std::move(table))
    {
    }
    virtual ~BodyIndexStore() = default;

    static std::unique_ptr<BodyIndexStore> make(CAdoManager &ado, DbEngine engine,
                                                const std::string &table);

    // Whether a table of that name exists.
    virtual long tableExists(const std::string &name, bool &exists) = 0;
    virtual long create() = 0; // replaces the tables of this post table
    virtual long drop() = 0;
    virtual long optimize() = 0;
    virtual long put(long long topicid, const PostText &text, const PostFileStamp &stamp) = 0;
    virtual long remove(const std::vector<long long> &topicids) = 0;
    virtual long search(const SearchQuery &searchQuery, const BodySearchScope &scope,
                        long long offset, int limit, BodySearchResult &result) = 0;
    // The table holding the stamps, with columns topicid, filesize, modified.
    virtual std::string stampTable() const = 0;

    const std::string &problem() const { return problem_; }

protected:
    long run(const BoundStatement &statement);
    // Statements without values (DDL) are sent as they are: PostgreSQL cannot prepare them.
    long run(const std::string &sql);
    long query(const BoundStatement &statement, std::unique_ptr<CAdoRecordset> &rows);
    long number(const BoundStatement &statement, long long &value);

    CAdoManager &ado_;
    std::string table_;
    std::string problem_;
};

// "?, ?, ?" for n values.
std::string Placeholders(std::size_t n);
// A roomid as the post table holds it: a number when it is integer text.
SqlValue RoomValue(const std::string &roomid);
