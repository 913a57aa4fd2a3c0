#pragma once

// The body index of one post table: full-text search of what the posts say, kept in
// the archive's own database, exact (a search returns the posts whose normalised text
// holds the query's patterns, SearchQuery.h, and no others).
//
// Schema, made by Create(), the same on both engines (integer/blob on SQLite,
// bigint/bytea on PostgreSQL; T is the post table; quillery_body_index is shared):
//   quillery_body_index (tablename text primary key, version integer not null)
//       one row per indexed table: the version of the rules it was built with
//   T_body_seg   (seg primary key, level): the index's segments
//   T_body_term  (seg, term, ids, primary key (seg, term)): a segment's posting lists,
//                term = the term's GBK bytes (BodyTokens.h), ids = the ascending
//                topicids of the segment's posts holding it (BodyPostings.h)
//   T_body_doc   (topicid primary key, filesize, modified, part, at, len): the file's
//                stamp, and where in T_body_text its normalised text lies
//   T_body_text  (part primary key, texts): normalised texts of many posts end to end,
//                kept as they are for the exact check of phrases (read a text at a time).
//                SQLite: the texts of one write run on through parts of TextRunBytes,
//                each filling a page, a text reaching into the following parts; the
//                last part of a write is shorter. PostgreSQL: a text lies in one part.
//   T_body_stale (topicid primary key, below): the post's entries in segments numbered
//                below this are stale (its file was indexed again, or it was removed)
// A run of Puts builds a segment in memory and writes it at once (at Flush, or when
// it grows large); segments of a level merge into one of the next once MergeFanIn of
// them have gathered, leaving out stale entries; Optimize merges all into one. Plain
// tables only: the stock sqlite3 tool reads the file, and no extension is asked of
// PostgreSQL.
//
// Use:
//   - the import, for each post it inserts, inside its batch's transaction:
//       BodyIndex index(ado, BodyIndex::EngineOf(connectionString), table);
//       if (index.Put(topicid, ExtractPostText(fileBytes), stamp) != 0) ... index.Problem()
//     and index.Flush() before each commit (one object per run: the version is checked once.) When
//     the table has no body index Put returns IndexMissing and the import goes on without one.
//   - delete: Remove(topicids) in the same transaction as the rows' delete. Move
//     changes nothing here: the room of a hit is read from the post table.
//   - `quillery index --body`: Create() when State() is not Current, then Stamps()
//     page by page, StampPostFile() for each post, ExtractPostFile() and Put() for
//     those not indexed or whose stamp differs, in batches of a transaction each;
//     Orphans() and Remove() for entries whose post row is gone; Optimize() at the
//     end (the import too, after a large run), DeferMerges() before the first Put as
//     it ends that way. --drop: Drop().
//   - `quillery search` and Kestrel's search field: ParseSearchQuery(), then Search()
//     with the scope and the page wanted; MakeBodySnippet() (BodySnippet.h) for the
//     rows shown. IndexMissing / IndexOtherVersion: offer to (re)build.
//
// Every operation returns 0, or a code with Problem() (GBK) saying why: the database's
// negative code (CAdoManager.h) with its report, 87 for a table name that cannot be
// used, 2 (IndexMissing) when the table has no body index, 1306 (IndexOtherVersion)
// when it was made by other tokenizer rules, 31 for anything else. Put and Remove run
// in the caller's transaction when one is open, else in one of their own; Create and
// Drop likewise, all or nothing. Nothing is held open between calls.
//
// Put holds the posts of a caller's transaction back to write them as one segment: the
// caller calls Flush() before its commit. Held posts of a transaction that was rolled
// back are dropped; those of one committed without Flush are written at the next call.
// Every other operation writes what is held first.
//
// Threads: like the CAdoManager it is given, one thread at a time; Prepare on any.

#include "BodyPostings.h"
#include "PostText.h"
#include "SearchQuery.h"

#include "browser/db/DbError.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

class CAdoManager;

struct BodySearchScope
{
    // roomid texts as the configuration writes them (without a start-room marker);
    // empty: the whole table.
    std::vector<std::string> roomids;
};

struct BodySearchResult
{
    long long count = 0; // every post that matches
    std::vector<long long> topicids; // the page asked for, newest (highest topicid) first
};

struct BodyStampRow
{
    long long topicid = 0;
    bool indexed = false;
    PostFileStamp stamp; // when indexed
};

class BodyIndexStore;

// A post's text made ready for Put by BodyIndex::Prepare: the work that needs neither
// the database nor the index object, so that it can be done on another thread.
struct PreparedBodyPost
{
    std::string text; // the normalised text
    std::vector<BodyPostings::TermSpan> terms; // DistinctTermSpans of text
};

// A prepared post with its topicid and file stamp, as BuildSegment takes it.
struct BodySegmentPost
{
    long long topicid = 0;
    PreparedBodyPost post;
    PostFileStamp stamp;
};

class BodyIndex
{
public:
    static constexpr long IndexMissing = 2;
    static constexpr long IndexOtherVersion = 1306;
    static constexpr int MaxStampRows = 200;
    // Segments of one level merge into one of the next when this many have gathered.
    static constexpr int MergeFanIn = 16;

    enum class State { Missing, Current, OtherVersion };

    // ado: an open connection of the given engine. table: a plain table name.
    BodyIndex(CAdoManager &ado, DbEngine engine, std::string table);
    ~BodyIndex();
    BodyIndex(const BodyIndex &) = delete;
    BodyIndex &operator=(const BodyIndex &) = delete;

    // The engine a connection string names (DbEngine::Layer when it cannot be read).
    static DbEngine EngineOf(const std::string &connectionString);

    // Whether the table has an index, and of which version (0 when missing).
    long GetState(State &state, int &version);

    // Makes an empty index (replacing one of any version) / removes it (0 also when
    // there is none).
    long Create();
    long Drop();

    // After many changes (a build, a large import): merges the index's pieces and
    // brings the planner's figures up to date, so searches read less. Not in a
    // transaction of the caller's; may take a while on a large table.
    long Optimize();

    // Adds a post's text or replaces what the index held for it: Prepare, then Put of
    // the prepared post.
    long Put(long long topicid, const PostText &text, const PostFileStamp &stamp);
    long Put(long long topicid, PreparedBodyPost &&post, const PostFileStamp &stamp);
    // The same, the prepared post left as it is (its text copied) for a caller that may
    // give it again after a rollback.
    long Put(long long topicid, const PreparedBodyPost &post, const PostFileStamp &stamp);
    // The terms of a post's text, with the text. Any thread, no object needed.
    static PreparedBodyPost Prepare(const PostText &text);
    static PreparedBodyPost Prepare(std::string &&text);
    // Posts of distinct topicids made into one segment: what Puts of them would build,
    // worked out without the database or the index object, so that a batch can be built
    // on another thread while the one before is written. Any thread.
    static BodyPostings::SealedSegment BuildSegment(std::vector<BodySegmentPost> &&posts);
    // The same in a segment object kept from batch to batch (empty, and used by one
    // thread at a time): its tables keep their room, which costs nothing to fill again.
    static BodyPostings::SealedSegment BuildSegment(std::vector<BodySegmentPost> &&posts,
                                                    BodyPostings::PendingSegment &scratch);
    // Adds a built segment's posts as Puts of them and a Flush would, at once.
    long PutSegment(BodyPostings::SealedSegment &&segment);
    // For a run that ends with Optimize (a build): segments written merge only into
    // the level above the first, the rest is left to Optimize, which merges everything
    // once instead of level by level. Searches meanwhile read more segments.
    void DeferMerges();
    // Removes posts; topicids the index does not hold are passed over.
    long Remove(const std::vector<long long> &topicids);
    // Writes what Put and Remove may hold back to write many posts at once. A caller
    // that opened a transaction calls it before the commit: only then is everything
    // it put in the index. Without a transaction of the caller's, Put writes at once.
    long Flush();

    // Whether a post is indexed, and the stamp of its file then.
    long GetStamp(long long topicid, bool &indexed, PostFileStamp &stamp);
    // The post table's posts after topicid `after`, in topicid order, at most limit
    // (<= MaxStampRows) of them, each with its index stamp.
    long Stamps(long long after, int limit, std::vector<BodyStampRow> &rows);
    // Indexed topicids after `after` whose row has left the post table, at most limit.
    long Orphans(long long after, int limit, std::vector<long long> &topicids);

    // The posts in scope that match the query: the count, and the page of `limit`
    // topicids after the first `offset` ones, newest first.
    long Search(const SearchQuery &query, const BodySearchScope &scope, long long offset, int limit,
                BodySearchResult &result);

    // Every (term, topicid) the index answers with, for tests comparing it with the
    // posts' terms.
    long HeldTerms(std::vector<std::pair<std::string, long long>> &terms);

    const std::string &Problem() const { return problem_; }

private:
    long settle();
    long flushHeld();
    long putPrepared(long long topicid, std::string text,
                     const std::vector<BodyPostings::TermSpan> &terms, const PostFileStamp &stamp);
    long checkTable();
    long checkVersion();
    long fail(long code);
    template<class F>
    long inTransaction(F &&work);

    CAdoManager &ado_;
    DbEngine engine_;
    std::string table_;
    std::unique_ptr<BodyIndexStore> store_;
    std::unique_ptr<BodyPostings::PendingSegment> held_;
    std::string problem_;
    bool versionChecked_ = false;
};
