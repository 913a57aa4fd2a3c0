#pragma once

// The tables of a body index and the statements on them, one design on both engines
// (BodyIndex.h describes the tables); only the names of types differ. BodyIndex checks
// names and versions, holds the segment being built and opens the transactions; the
// store runs statements inside them.

#include "BodyIndex.h"
#include "BodyPostings.h"

#include "browser/db/BoundStatement.h"
#include "browser/db/CAdoManager.h"

#include <functional>
#include <limits>
#include <string>
#include <unordered_map>
#include <vector>

class BodyIndexStore
{
public:
    // Rows of one INSERT: few statements, each well within what either engine binds.
    static constexpr std::size_t RowsPerInsert = 200;
    // SQLite: the size of each part of a write's texts but the last. A row of one blob of
    // this size fills a page of 4,096 bytes (SQLite's default) by itself, so reading a
    // text never walks a chain of overflow pages up to it.
    static constexpr long long TextRunBytes = 4057;

    BodyIndexStore(CAdoManager &ado, DbEngine engine, const std::string &table);

    // Whether a table of that name exists.
    long tableExists(const std::string &name, bool &exists);
    long create(); // replaces the tables of this post table
    long drop();
    // Merges every segment into one, leaving no stale entry.
    long optimize();
    // PostgreSQL: gives back the room of rows merges left behind (outside a
    // transaction). SQLite reuses its free pages by itself.
    long reclaim();
    // Writes a segment, marks what it replaces as stale, and merges full levels.
    long write(const BodyPostings::SealedSegment &segment);
    // Levels whose full segments merge into the next as segments are written: levels
    // below `levels` (every level, unless set).
    void setMergeLevels(long long levels) { mergeLevels_ = levels; }
    long remove(const std::vector<long long> &topicids);
    // otherReaders: the search may read with a second connection of its own (the
    // caller has no transaction open with writes only its connection sees).
    long search(const SearchQuery &query, const BodySearchScope &scope, long long offset, int limit,
                BodySearchResult &result, bool otherReaders);
    // Whether a post's kept text is kept among the hits.
    using KeepText = std::function<bool(long long topicid, const std::string &text)>;

    // The table holding the stamps, with columns topicid, filesize, modified.
    const std::string &stampTable() const { return doc_; }
    // Every (term, topicid) the index answers with, stale entries left out: what the
    // tests compare with the texts' own terms.
    long heldTerms(std::vector<std::pair<std::string, long long>> &out);

    const std::string &problem() const { return problem_; }

private:
    struct Segment
    {
        long long seg = 0;
        long long level = 0;
    };
    using Stale = std::unordered_map<long long, long long>; // topicid -> below

    long run(const BoundStatement &statement);
    long run(const std::string &sql);
    long each(const BoundStatement &statement, const CAdoManager::RowFunction &rowFn);
    long number(const BoundStatement &statement, long long &value);
    // Runs prefix + "(?, ...), ..." + suffix over the rows of `values` (columns each),
    // many rows a statement.
    long insertRows(const std::string &prefix, std::size_t columns, std::vector<SqlValue> &values,
                    const std::string &suffix = {});
    // Made first in every write: on PostgreSQL, waits for another program's write of this
    // index to be committed, so that the two never number their segments and parts alike.
    // Searches read on meanwhile. SQLite has one writer at a time anyway.
    long lockWrites();
    long nextSegment(long long &seg);
    long segments(std::vector<Segment> &out);
    long staleEntries(Stale &stale);
    long merge(const std::vector<Segment> &sources, long long level);
    long mergeFullLevels();
    // Writes (seg, term, block) rows of entries given in term order, a block at a time.
    class BlockWriter;
    // Writes the posts' texts in parts, and their rows saying where.
    long writeTexts(const std::vector<BodyPostings::PendingSegment::Doc> &docs);
    // Drops kept texts no post refers to any more, rewriting parts mostly unused.
    long compactTexts();
    // The posts holding a term, stale entries left out.
    long postings(const std::string &term, const std::vector<Segment> &segs, const Stale &stale,
                  BodyPostings::Ids &ids);
    // About how many bytes the term's lists take, read without reading them: the
    // blocks they lie in (a list of more than a block has one of its own).
    long listBytes(const std::string &term, const std::vector<Segment> &segs, long long &bytes);
    // The posts of ids (ascending) whose kept texts keep() keeps, in no order. Texts
    // without every byte string of mustHold may be left out unseen. otherReaders: as
    // search's; keep is then called on two threads at once.
    long readTexts(const BodyPostings::Ids &ids, const std::vector<std::string> &mustHold,
                   const KeepText &keep, BodyPostings::Ids &kept, bool otherReaders);
    long inScope(const BodySearchScope &scope, BodyPostings::Ids &ids);
    long brokenData(const char *what);

    CAdoManager &ado_;
    DbEngine engine_;
    std::string table_;
    std::string seg_; // (seg, level): the segments
    std::string term_; // (seg, term, block): each segment's posting lists
    std::string doc_; // (topicid, filesize, modified, part, at, len): stamps, where texts are
    std::string text_; // (part, texts): kept texts
    std::string stale_; // (topicid, below): its entries in segments below are stale
    std::string problem_;
    long long mergeLevels_ = std::numeric_limits<long long>::max();
};

// "?, ?, ?" for n values.
std::string Placeholders(std::size_t n);
// A roomid as the post table holds it: a number when it is integer text.
SqlValue RoomValue(const std::string &roomid);
