#include "BodyIndex.h"

#include "BodyIndexStore.h"
#include "BodyPostings.h"
#include "BodyTokens.h"
#include "SearchTexts.h"

#include "browser/db/CAdoManager.h"
#include "browser/db/DbEndpoint.h"
#include "browser/db/EmbeddedDatabase.h"
#include "common/Codec.h"

#include <algorithm>
#include <charconv>
#include <unordered_set>

namespace {

constexpr const char MetaTable[] = "quillery_body_index";
// The longest derived name ("_body_stale") must stay within PostgreSQL's 63 bytes.
constexpr std::size_t MaxTableName = 63 - 11;
// Held posts are written out past this (postings and kept texts), whatever the caller's
// transaction: it bounds the memory of a large one.
constexpr std::size_t MaxHeldBytes = 32u << 20;

std::string replaceArgs(const char *utf8, const std::string &a, const std::string &b = {},
                        const std::string &c = {})
{
    std::string text = Gbk::literal(utf8);
    const std::string args[] = {a, b, c};
    for (int i = 0; i < 3; ++i) {
        const std::string mark = "%" + std::to_string(i + 1);
        if (const auto at = text.find(mark); at != std::string::npos)
            text.replace(at, mark.size(), args[i]);
    }
    return text;
}

std::string metaKey(const std::string &table)
{
    std::string key = table;
    for (char &c : key) {
        if (c >= 'A' && c <= 'Z')
            c = char(c + 32);
    }
    return key;
}

} // namespace

// ---- BodyIndex ----

BodyIndex::BodyIndex(CAdoManager &ado, DbEngine engine, std::string table)
    : ado_(ado)
    , engine_(engine)
    , table_(std::move(table))
    , store_(engine == DbEngine::SQLite || engine == DbEngine::PostgreSQL
                     ? std::make_unique<BodyIndexStore>(ado, engine, table_)
                     : nullptr)
    , held_(std::make_unique<BodyPostings::PendingSegment>())
{
}

BodyIndex::~BodyIndex()
{
    // Held posts belong to the caller's transaction while it is open: written into it,
    // they stand or fall with it.
    if (!held_->empty() && settle() == 0)
        flushHeld();
}

long BodyIndex::settle()
{
    if (held_->empty())
        return 0;
    if (ado_.InTransaction() && ado_.TransactionNumber() == held_->transaction)
        return 0;
    if (!ado_.TransactionCommitted(held_->transaction)) {
        held_->clear(); // rolled back: none of it happened
        return 0;
    }
    // Committed without Flush: the posts are in, so their entries must follow.
    return flushHeld();
}

long BodyIndex::flushHeld()
{
    if (held_->empty())
        return 0;
    const BodyPostings::SealedSegment segment = held_->seal();
    const long code = inTransaction([&] { return fail(store_->write(segment)); });
    // After a failure the caller's transaction is to be rolled back: nothing is kept
    // to be written into another.
    held_->clear();
    return code;
}

DbEngine BodyIndex::EngineOf(const std::string &connectionString)
{
    DbEndpoint endpoint;
    DbError error;
    if (!ParseDbEndpoint(connectionString, endpoint, error))
        return DbEngine::Layer;
    return endpoint.engine;
}

long BodyIndex::fail(long code)
{
    if (store_ && code != 0 && code != 87 && code != IndexMissing && code != IndexOtherVersion)
        problem_ = store_->problem();
    return code;
}

long BodyIndex::checkTable()
{
    if (!store_ || !IsPlainTableName(table_) || table_.size() > MaxTableName) {
        problem_ = replaceArgs(SearchTexts::NotPlainTable, table_);
        return 87;
    }
    return 0;
}

long BodyIndex::GetState(State &state, int &version)
{
    state = State::Missing;
    version = 0;
    if (const long code = checkTable())
        return code;
    bool exists = false;
    if (const long code = store_->tableExists(MetaTable, exists))
        return fail(code);
    if (!exists)
        return 0;
    std::unique_ptr<CAdoRecordset> rows;
    const BoundStatement select {std::string("select version from ") + MetaTable
                                         + " where tablename = ?",
                                 {SqlValue::fromText(metaKey(table_))},
                                 {}};
    if (ado_.ExecuteSql(select, rows, CAdoManager::CommandText) != 0) {
        problem_ = ado_.LastError();
        return 31;
    }
    if (!rows->IsOpen() || rows->IsEOF())
        return 0;
    long long v = 0;
    rows->Value(0).ToInt64(v);
    version = int(v);
    state = version == BodyTokens::TokenizerVersion ? State::Current : State::OtherVersion;
    return 0;
}

long BodyIndex::checkVersion()
{
    if (versionChecked_)
        return 0;
    State state;
    int version = 0;
    if (const long code = GetState(state, version))
        return code;
    if (state == State::Missing) {
        problem_ = replaceArgs(SearchTexts::IndexMissing, table_);
        return IndexMissing;
    }
    if (state == State::OtherVersion) {
        problem_ = replaceArgs(SearchTexts::IndexOtherVersion, table_, std::to_string(version),
                               std::to_string(BodyTokens::TokenizerVersion));
        return IndexOtherVersion;
    }
    versionChecked_ = true;
    return 0;
}

template<class F>
long BodyIndex::inTransaction(F &&work)
{
    const bool own = !ado_.InTransaction();
    if (own && ado_.BeginTransaction() != 0) {
        problem_ = ado_.LastError();
        return 31;
    }
    const long code = work();
    if (!own)
        return code;
    if (code != 0) {
        ado_.RollbackTransaction();
        return code;
    }
    if (const long commit = ado_.CommitTransaction()) {
        problem_ = ado_.LastError();
        ado_.RollbackTransaction();
        return commit;
    }
    return 0;
}

long BodyIndex::Create()
{
    if (const long code = checkTable())
        return code;
    versionChecked_ = false;
    held_->clear();
    return inTransaction([&]() -> long {
        bool exists = false;
        if (const long code = store_->tableExists(MetaTable, exists))
            return fail(code);
        if (!exists) {
            const long code = ado_.ExecuteSql(std::string("create table ") + MetaTable
                                                      + " (tablename text primary key, "
                                                        "version integer not null)",
                                              CAdoManager::CommandText);
            if (code != 0) {
                problem_ = ado_.LastError();
                return code;
            }
        }
        if (const long code = store_->create())
            return fail(code);
        const BoundStatement remember {std::string("delete from ") + MetaTable
                                               + " where tablename = ?",
                                       {SqlValue::fromText(metaKey(table_))},
                                       {}};
        const BoundStatement insert {std::string("insert into ") + MetaTable
                                             + " (tablename, version) values (?, ?)",
                                     {SqlValue::fromText(metaKey(table_)),
                                      SqlValue::fromInteger(BodyTokens::TokenizerVersion)},
                                     {}};
        for (const BoundStatement *s : {&remember, &insert}) {
            if (const long code = ado_.ExecuteSql(*s, CAdoManager::CommandText)) {
                problem_ = ado_.LastError();
                return code;
            }
        }
        return 0;
    });
}

long BodyIndex::Drop()
{
    if (const long code = checkTable())
        return code;
    versionChecked_ = false;
    held_->clear();
    return inTransaction([&]() -> long {
        if (const long code = store_->drop())
            return fail(code);
        bool exists = false;
        if (const long code = store_->tableExists(MetaTable, exists))
            return fail(code);
        if (!exists)
            return 0;
        const BoundStatement forget {std::string("delete from ") + MetaTable
                                             + " where tablename = ?",
                                     {SqlValue::fromText(metaKey(table_))},
                                     {}};
        if (const long code = ado_.ExecuteSql(forget, CAdoManager::CommandText)) {
            problem_ = ado_.LastError();
            return code;
        }
        return 0;
    });
}

long BodyIndex::Optimize()
{
    if (const long code = checkVersion())
        return code;
    if (const long code = Flush())
        return code;
    // Merging a large index takes longer than any one search or insert may.
    const int timeout = ado_.CommandTimeout();
    ado_.SetCommandTimeout(0);
    long code = inTransaction([&] { return fail(store_->optimize()); });
    if (code == 0 && !ado_.InTransaction())
        code = fail(store_->reclaim());
    ado_.SetCommandTimeout(timeout);
    return code;
}

PreparedBodyPost BodyIndex::Prepare(std::string &&text)
{
    PreparedBodyPost post;
    post.text = std::move(text);
    post.terms = BodyPostings::DistinctTermSpans(post.text);
    return post;
}

PreparedBodyPost BodyIndex::Prepare(const PostText &text)
{
    return Prepare(std::string(text.text));
}

long BodyIndex::Put(long long topicid, const PostText &text, const PostFileStamp &stamp)
{
    return Put(topicid, Prepare(text), stamp);
}

long BodyIndex::Put(long long topicid, PreparedBodyPost &&post, const PostFileStamp &stamp)
{
    return putPrepared(topicid, std::move(post.text), post.terms, stamp);
}

long BodyIndex::Put(long long topicid, const PreparedBodyPost &post, const PostFileStamp &stamp)
{
    return putPrepared(topicid, post.text, post.terms, stamp);
}

long BodyIndex::putPrepared(long long topicid, std::string text,
                            const std::vector<BodyPostings::TermSpan> &terms,
                            const PostFileStamp &stamp)
{
    if (const long code = checkVersion())
        return code;
    if (const long code = settle())
        return code;
    // A post put twice in one segment: the first goes out, to be made stale.
    if (held_->holds(topicid)) {
        if (const long code = flushHeld())
            return code;
    }
    held_->addPrepared(topicid, std::move(text), terms, stamp.size, stamp.modified);
    const bool caller = ado_.InTransaction();
    held_->transaction = caller ? ado_.TransactionNumber() : 0;
    if (!caller || held_->weight() > MaxHeldBytes)
        return flushHeld();
    return 0;
}

BodyPostings::SealedSegment BodyIndex::BuildSegment(std::vector<BodySegmentPost> &&posts)
{
    BodyPostings::PendingSegment segment;
    return BuildSegment(std::move(posts), segment);
}

BodyPostings::SealedSegment BodyIndex::BuildSegment(std::vector<BodySegmentPost> &&posts,
                                                    BodyPostings::PendingSegment &scratch)
{
    // A post given twice: the later stands, as a second Put would leave it (a list holds
    // an id once, or it reads as broken).
    std::vector<bool> passed(posts.size(), false);
    std::unordered_set<long long> seen;
    for (std::size_t i = posts.size(); i-- > 0;)
        passed[i] = !seen.insert(posts[i].topicid).second;
    for (std::size_t i = 0; i < posts.size(); ++i) {
        BodySegmentPost &p = posts[i];
        if (!passed[i])
            scratch.addPrepared(p.topicid, std::move(p.post.text), p.post.terms, p.stamp.size,
                                p.stamp.modified);
    }
    posts.clear();
    return scratch.seal(BodyPostings::PendingSegment::Room::Keep);
}

long BodyIndex::PutSegment(BodyPostings::SealedSegment &&segment)
{
    if (const long code = checkVersion())
        return code;
    if (const long code = Flush())
        return code;
    if (segment.docs.empty())
        return 0;
    const long code = inTransaction([&] { return fail(store_->write(segment)); });
    segment = {};
    return code;
}

void BodyIndex::DeferMerges()
{
    if (store_)
        store_->setMergeLevels(1);
}

long BodyIndex::Remove(const std::vector<long long> &topicids)
{
    if (const long code = checkVersion())
        return code;
    if (const long code = Flush())
        return code;
    if (topicids.empty())
        return 0;
    return inTransaction([&] { return fail(store_->remove(topicids)); });
}

long BodyIndex::Flush()
{
    if (const long code = settle())
        return code;
    return flushHeld();
}

long BodyIndex::HeldTerms(std::vector<std::pair<std::string, long long>> &terms)
{
    terms.clear();
    if (const long code = checkVersion())
        return code;
    if (const long code = Flush())
        return code;
    return fail(store_->heldTerms(terms));
}

long BodyIndex::GetStamp(long long topicid, bool &indexed, PostFileStamp &stamp)
{
    indexed = false;
    if (const long code = checkVersion())
        return code;
    if (const long code = Flush())
        return code;
    std::unique_ptr<CAdoRecordset> rows;
    const BoundStatement select {"select filesize, modified from " + store_->stampTable()
                                         + " where topicid = ?",
                                 {SqlValue::fromInteger(topicid)},
                                 {}};
    if (const long code = ado_.ExecuteSql(select, rows, CAdoManager::CommandText)) {
        problem_ = ado_.LastError();
        return code;
    }
    if (rows->IsOpen() && !rows->IsEOF()) {
        indexed = true;
        rows->Value(0).ToInt64(stamp.size);
        rows->Value(1).ToInt64(stamp.modified);
    }
    return 0;
}

long BodyIndex::Stamps(long long after, int limit, std::vector<BodyStampRow> &rows)
{
    rows.clear();
    if (const long code = checkVersion())
        return code;
    if (const long code = Flush())
        return code;
    const std::string stamps = store_->stampTable();
    const BoundStatement select {"select p.topicid, f.topicid, f.filesize, f.modified from "
                                         + table_ + " p left join " + stamps
                                         + " f on f.topicid = p.topicid where p.topicid > ? "
                                           "order by p.topicid limit ?",
                                 {SqlValue::fromInteger(after),
                                  SqlValue::fromInteger(std::clamp(limit, 1, MaxStampRows))},
                                 {}};
    std::unique_ptr<CAdoRecordset> rs;
    if (const long code = ado_.ExecuteSql(select, rs, CAdoManager::CommandText)) {
        problem_ = ado_.LastError();
        return code;
    }
    for (; rs->IsOpen() && !rs->IsEOF(); rs->MoveNext()) {
        BodyStampRow row;
        rs->Value(0).ToInt64(row.topicid);
        row.indexed = !rs->Value(1).IsNull();
        rs->Value(2).ToInt64(row.stamp.size);
        rs->Value(3).ToInt64(row.stamp.modified);
        rows.push_back(row);
    }
    return 0;
}

long BodyIndex::Orphans(long long after, int limit, std::vector<long long> &topicids)
{
    topicids.clear();
    if (const long code = checkVersion())
        return code;
    if (const long code = Flush())
        return code;
    const BoundStatement select {"select f.topicid from " + store_->stampTable()
                                         + " f where f.topicid > ? and not exists (select 1 from "
                                         + table_
                                         + " p where p.topicid = f.topicid) "
                                           "order by f.topicid limit ?",
                                 {SqlValue::fromInteger(after),
                                  SqlValue::fromInteger(std::clamp(limit, 1, MaxStampRows))},
                                 {}};
    std::unique_ptr<CAdoRecordset> rs;
    if (const long code = ado_.ExecuteSql(select, rs, CAdoManager::CommandText)) {
        problem_ = ado_.LastError();
        return code;
    }
    for (; rs->IsOpen() && !rs->IsEOF(); rs->MoveNext()) {
        long long id = 0;
        rs->Value(0).ToInt64(id);
        topicids.push_back(id);
    }
    return 0;
}

long BodyIndex::Search(const SearchQuery &query, const BodySearchScope &scope, long long offset,
                       int limit, BodySearchResult &result)
{
    result = BodySearchResult();
    // Asked each time: another program may have rebuilt or dropped the index meanwhile.
    versionChecked_ = false;
    if (const long code = checkVersion())
        return code;
    if (const long code = Flush())
        return code;
    // One snapshot for all the statements of a search: a merge or a compaction by another
    // program between two of them would move what the first found. Held for the search
    // alone, and never a write lock.
    const bool own = !ado_.InTransaction();
    if (own) {
        const char *begin = engine_ == DbEngine::SQLite
                ? "BEGIN DEFERRED"
                : "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY";
        if (const long code = ado_.ExecuteSql(begin, CAdoManager::CommandText)) {
            problem_ = ado_.LastError();
            return code;
        }
    }
    const long code = fail(
            store_->search(query, scope, std::max(0LL, offset), std::max(0, limit), result, own));
    // Nothing was written: a failure to end it changes no result.
    if (own)
        ado_.ExecuteSql(code ? "ROLLBACK" : "COMMIT", CAdoManager::CommandText);
    return code;
}
