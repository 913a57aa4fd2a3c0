#pragma once

// The body index (BodyIndex.h) an import keeps current: the text of each row it inserts
// is put in the index inside the row's own transaction, so nothing reported inserted is
// missing from it. A table without an index of the current rules is left alone: with
// none the archive simply has no body search, and one of other rules is rebuilt whole.

#include "browser/search/BodyIndex.h"

#include <memory>
#include <string>

class CAdoManager;

class ImportBodyIndex
{
public:
    ImportBodyIndex(CAdoManager &ado, const std::string &connection, const std::string &table);
    ~ImportBodyIndex();

    // Whether the table has an index of the current rules (asked once, here).
    bool Active() const { return active_; }

    // A row's text. flush: written at once (a row in a savepoint of its own); otherwise
    // Flush() before the commit. 0, or the code with the row's line from FailedLine.
    long Put(long long topicid, const PreparedBodyPost &post, const PostFileStamp &stamp,
             bool flush);
    long Flush();
    // After a rollback: what was held back for the transaction is forgotten.
    void Discard();
    // The line of a file whose row was not inserted because its text could not be
    // indexed (GBK).
    std::string FailedLine(const std::string &path) const;

private:
    CAdoManager &ado_;
    DbEngine engine_;
    std::string table_;
    std::unique_ptr<BodyIndex> index_;
    bool active_ = false;
};
