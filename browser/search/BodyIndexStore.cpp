#include "BodyIndexStore.h"

#include "SearchTexts.h"

#include "common/Codec.h"

#include <algorithm>
#include <charconv>
#include <deque>

namespace {

// Rows of one INSERT, and ids of one IN list: few statements, each well within what
// either engine binds.
constexpr std::size_t RowsPerInsert = 200;
constexpr std::size_t IdsPerList = 500;
// Rows of a segment read at a time while merging.
constexpr int MergeChunk = 256;

std::string inList(std::size_t n)
{
    return "(" + Placeholders(n) + ")";
}

// The segment being read by a merge: its rows in term order, a chunk at a time.
struct Cursor
{
    long long seg = 0;
    std::deque<std::pair<std::string, std::string>> rows; // term, ids
    std::string after;
    bool done = false;
};

} // namespace

std::string Placeholders(std::size_t n)
{
    std::string out;
    for (std::size_t i = 0; i < n; ++i)
        out += i == 0 ? "?" : ", ?";
    return out;
}

SqlValue RoomValue(const std::string &roomid)
{
    long long value = 0;
    const char *end = roomid.data() + roomid.size();
    const auto parsed = std::from_chars(roomid.data(), end, value);
    if (!roomid.empty() && parsed.ec == std::errc() && parsed.ptr == end)
        return SqlValue::fromInteger(value);
    return SqlValue::fromText(roomid);
}

BodyIndexStore::BodyIndexStore(CAdoManager &ado, DbEngine engine, const std::string &table)
    : ado_(ado)
    , engine_(engine)
    , table_(table)
    , seg_(table + "_body_seg")
    , term_(table + "_body_term")
    , doc_(table + "_body_doc")
    , stale_(table + "_body_stale")
{
}

long BodyIndexStore::run(const BoundStatement &statement)
{
    const long code = ado_.ExecuteSql(statement, CAdoManager::CommandText);
    if (code != 0)
        problem_ = ado_.LastError();
    return code;
}

long BodyIndexStore::run(const std::string &sql)
{
    const long code = ado_.ExecuteSql(sql, CAdoManager::CommandText);
    if (code != 0)
        problem_ = ado_.LastError();
    return code;
}

long BodyIndexStore::each(const BoundStatement &statement, const CAdoManager::RowFunction &rowFn)
{
    const long code = ado_.ForEachRow(statement, rowFn);
    if (code != 0)
        problem_ = ado_.LastError();
    return code;
}

long BodyIndexStore::number(const BoundStatement &statement, long long &value)
{
    value = 0;
    return each(statement, [&](const std::vector<SqlValue> &row) {
        value = row.empty() ? 0 : row[0].integer;
        return false;
    });
}

long BodyIndexStore::brokenData(const char *what)
{
    problem_ = Gbk::literal(SearchTexts::IndexDataBroken);
    problem_.replace(problem_.find("%1"), 2, table_);
    problem_.replace(problem_.find("%2"), 2, what);
    return 31;
}

// Asked first on PostgreSQL: "if exists" and "if not exists" make the server print
// notices, which a terminal would show.
long BodyIndexStore::tableExists(const std::string &name, bool &exists)
{
    long long count = 0;
    const BoundStatement sql = engine_ == DbEngine::SQLite
            ? BoundStatement {"select count(*) from sqlite_master where type = 'table' and "
                              "name = ? collate nocase",
                              {SqlValue::fromText(name)},
                              {}}
            : BoundStatement {"select count(*) from pg_catalog.pg_class c join "
                              "pg_catalog.pg_namespace n on n.oid = c.relnamespace where "
                              "c.relname = lower(?) and n.nspname = current_schema()",
                              {SqlValue::fromText(name)},
                              {}};
    const long code = number(sql, count);
    exists = count > 0;
    return code;
}

long BodyIndexStore::create()
{
    if (const long code = drop())
        return code;
    const bool lite = engine_ == DbEngine::SQLite;
    const std::string integer = lite ? "integer" : "bigint";
    const std::string blob = lite ? "blob" : "bytea";
    for (const std::string &sql :
         {"create table " + seg_ + " (seg " + integer + " primary key, level " + integer
                  + " not null)",
          // Without rowid: the rows of a segment are stored in key order, and a new
          // segment, of the highest number, is appended.
          "create table " + term_ + " (seg " + integer + " not null, term " + blob
                  + " not null, ids " + blob + " not null, primary key (seg, term))"
                  + (lite ? " without rowid" : ""),
          "create table " + doc_ + " (topicid " + integer + " primary key, filesize " + integer
                  + " not null, modified " + integer + " not null, text " + blob + " not null)",
          "create table " + stale_ + " (topicid " + integer + " primary key, below " + integer
                  + " not null)"}) {
        if (const long code = run(sql))
            return code;
    }
    return 0;
}

long BodyIndexStore::drop()
{
    // With the tables of the earlier design, which an older index may still have.
    const std::vector<std::string> names = engine_ == DbEngine::SQLite
            ? std::vector<std::string> {seg_, term_, doc_, stale_, table_ + "_body_pos",
                                        table_ + "_body_chr", table_ + "_body_file"}
            : std::vector<std::string> {seg_, term_, doc_, stale_, table_ + "_body"};
    for (const std::string &name : names) {
        bool exists = false;
        if (const long code = tableExists(name, exists))
            return code;
        if (exists) {
            if (const long code = run("drop table " + name))
                return code;
        }
    }
    return 0;
}

long BodyIndexStore::insertRows(const std::string &prefix, std::size_t columns,
                                std::vector<SqlValue> &values, const std::string &suffix)
{
    const std::string row = "(" + Placeholders(columns) + ")";
    const std::size_t rows = values.size() / columns;
    for (std::size_t at = 0; at < rows; at += RowsPerInsert) {
        const std::size_t n = std::min(RowsPerInsert, rows - at);
        BoundStatement insert {prefix, {}, {}};
        for (std::size_t i = 0; i < n; ++i)
            insert.sql += i == 0 ? row : ", " + row;
        insert.sql += suffix;
        insert.values.assign(std::make_move_iterator(values.begin() + std::ptrdiff_t(at * columns)),
                             std::make_move_iterator(values.begin()
                                                     + std::ptrdiff_t((at + n) * columns)));
        if (const long code = run(insert))
            return code;
    }
    values.clear();
    return 0;
}

long BodyIndexStore::nextSegment(long long &seg)
{
    if (const long code = number({"select coalesce(max(seg), 0) + 1 from " + seg_, {}, {}}, seg))
        return code;
    return 0;
}

long BodyIndexStore::segments(std::vector<Segment> &out)
{
    out.clear();
    return each({"select seg, level from " + seg_ + " order by seg", {}, {}},
                [&](const std::vector<SqlValue> &row) {
                    out.push_back({row[0].integer, row[1].integer});
                    return true;
                });
}

long BodyIndexStore::staleEntries(Stale &stale)
{
    stale.clear();
    return each({"select topicid, below from " + stale_, {}, {}},
                [&](const std::vector<SqlValue> &row) {
                    stale[row[0].integer] = row[1].integer;
                    return true;
                });
}

long BodyIndexStore::write(const BodyPostings::PendingSegment &segment)
{
    long long seg = 0;
    if (const long code = nextSegment(seg))
        return code;
    // What the index held of these posts (a replaced file, a post indexed again after
    // its removal) is stale in every segment so far.
    const auto &docs = segment.docs();
    for (std::size_t at = 0; at < docs.size(); at += IdsPerList) {
        const std::size_t n = std::min(IdsPerList, docs.size() - at);
        BoundStatement update {"update " + stale_ + " set below = ? where topicid in " + inList(n),
                               {SqlValue::fromInteger(seg)},
                               {}};
        for (std::size_t i = 0; i < n; ++i)
            update.values.push_back(SqlValue::fromInteger(docs[at + i].topicid));
        if (const long code = run(update))
            return code;
        update.sql = "insert into " + stale_ + " (topicid, below) select topicid, ? from " + doc_
                + " where topicid in " + inList(n)
                + " on conflict (topicid) do update set below = excluded.below";
        if (const long code = run(update))
            return code;
    }
    std::vector<SqlValue> values;
    values.reserve(std::min(docs.size(), RowsPerInsert) * 4);
    for (const auto &doc : docs) {
        values.push_back(SqlValue::fromInteger(doc.topicid));
        values.push_back(SqlValue::fromInteger(doc.size));
        values.push_back(SqlValue::fromInteger(doc.modified));
        values.push_back(SqlValue::fromBlob(doc.packed));
        if (values.size() == RowsPerInsert * 4 || &doc == &docs.back()) {
            if (const long code = insertRows(
                        "insert into " + doc_ + " (topicid, filesize, modified, text) values ", 4,
                        values,
                        " on conflict (topicid) do update set filesize = excluded.filesize, "
                        "modified = excluded.modified, text = excluded.text"))
                return code;
        }
    }
    std::vector<BodyPostings::PendingSegment::Row> rows = segment.rows();
    const std::string insertTerms = "insert into " + term_ + " (seg, term, ids) values ";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        values.push_back(SqlValue::fromInteger(seg));
        values.push_back(SqlValue::fromBlob(std::move(rows[i].term)));
        values.push_back(SqlValue::fromBlob(std::move(rows[i].ids)));
        if (values.size() == RowsPerInsert * 3 || i + 1 == rows.size()) {
            if (const long code = insertRows(insertTerms, 3, values))
                return code;
        }
    }
    if (const long code = run({"insert into " + seg_ + " (seg, level) values (?, 0)",
                               {SqlValue::fromInteger(seg)},
                               {}}))
        return code;
    return mergeFullLevels();
}

long BodyIndexStore::mergeFullLevels()
{
    for (long long level = 0;; ++level) {
        std::vector<Segment> all;
        if (const long code = segments(all))
            return code;
        std::vector<Segment> full;
        for (const Segment &s : all) {
            if (s.level == level)
                full.push_back(s);
        }
        if (full.size() < std::size_t(BodyIndex::MergeFanIn))
            return 0;
        if (const long code = merge(full, level + 1))
            return code;
    }
}

long BodyIndexStore::optimize()
{
    std::vector<Segment> all;
    if (const long code = segments(all))
        return code;
    long long staleCount = 0;
    if (const long code = number({"select count(*) from " + stale_, {}, {}}, staleCount))
        return code;
    if (all.empty() || (all.size() == 1 && staleCount == 0))
        return 0;
    long long level = 0;
    for (const Segment &s : all)
        level = std::max(level, s.level);
    if (const long code = merge(all, level + 1))
        return code;
    // Every segment has been rewritten without its stale entries.
    return run("delete from " + stale_);
}

// A k-way merge of the segments' rows, all in term order: memory holds a chunk of each
// and one term's lists, whatever the segments' size.
long BodyIndexStore::merge(const std::vector<Segment> &sources, long long level)
{
    long long seg = 0;
    if (const long code = nextSegment(seg))
        return code;
    Stale stale;
    if (const long code = staleEntries(stale))
        return code;
    std::vector<Cursor> cursors(sources.size());
    for (std::size_t i = 0; i < sources.size(); ++i)
        cursors[i].seg = sources[i].seg;
    auto refill = [&](Cursor &c) -> long {
        if (!c.rows.empty() || c.done)
            return 0;
        int got = 0;
        const long code = each({"select term, ids from " + term_
                                        + " where seg = ? and term > ? order by term limit "
                                        + std::to_string(MergeChunk),
                                {SqlValue::fromInteger(c.seg), SqlValue::fromBlob(c.after)},
                                {}},
                               [&](const std::vector<SqlValue> &row) {
                                   c.rows.emplace_back(row[0].text, row[1].text);
                                   ++got;
                                   return true;
                               });
        if (got < MergeChunk)
            c.done = true;
        if (!c.rows.empty())
            c.after = c.rows.back().first;
        return code;
    };
    std::vector<SqlValue> out;
    const std::string insertTerms = "insert into " + term_ + " (seg, term, ids) values ";
    BodyPostings::Ids merged;
    BodyPostings::Ids ids;
    std::string bytes;
    while (true) {
        const std::string *least = nullptr;
        for (Cursor &c : cursors) {
            if (const long code = refill(c))
                return code;
            if (!c.rows.empty() && (!least || c.rows.front().first < *least))
                least = &c.rows.front().first;
        }
        if (!least)
            break;
        const std::string term = *least;
        merged.clear();
        for (Cursor &c : cursors) {
            if (c.rows.empty() || c.rows.front().first != term)
                continue;
            if (!BodyPostings::Decode(c.rows.front().second, ids))
                return brokenData("ids");
            for (long long id : ids) {
                const auto s = stale.find(id);
                if (s == stale.end() || s->second <= c.seg)
                    merged.push_back(id);
            }
            c.rows.pop_front();
        }
        if (merged.empty())
            continue;
        std::sort(merged.begin(), merged.end());
        BodyPostings::Encode(merged, bytes);
        out.push_back(SqlValue::fromInteger(seg));
        out.push_back(SqlValue::fromBlob(term));
        out.push_back(SqlValue::fromBlob(bytes));
        if (out.size() == RowsPerInsert * 3) {
            if (const long code = insertRows(insertTerms, 3, out))
                return code;
        }
    }
    if (const long code = insertRows(insertTerms, 3, out))
        return code;
    for (const Segment &s : sources) {
        for (const std::string &table : {term_, seg_}) {
            if (const long code = run({"delete from " + table + " where seg = ?",
                                       {SqlValue::fromInteger(s.seg)},
                                       {}}))
                return code;
        }
    }
    return run({"insert into " + seg_ + " (seg, level) values (?, ?)",
                {SqlValue::fromInteger(seg), SqlValue::fromInteger(level)},
                {}});
}

long BodyIndexStore::remove(const std::vector<long long> &topicids)
{
    long long below = 0;
    if (const long code = nextSegment(below))
        return code;
    for (std::size_t at = 0; at < topicids.size(); at += IdsPerList) {
        const std::size_t n = std::min(IdsPerList, topicids.size() - at);
        BoundStatement mark {"insert into " + stale_ + " (topicid, below) select topicid, ? from "
                                     + doc_ + " where topicid in " + inList(n)
                                     + " on conflict (topicid) do update set below = "
                                       "excluded.below",
                             {SqlValue::fromInteger(below)},
                             {}};
        for (std::size_t i = 0; i < n; ++i)
            mark.values.push_back(SqlValue::fromInteger(topicids[at + i]));
        if (const long code = run(mark))
            return code;
        mark.sql = "delete from " + doc_ + " where topicid in " + inList(n);
        mark.values.erase(mark.values.begin());
        if (const long code = run(mark))
            return code;
    }
    return 0;
}

long BodyIndexStore::heldTerms(std::vector<std::pair<std::string, long long>> &out)
{
    out.clear();
    Stale stale;
    if (const long code = staleEntries(stale))
        return code;
    BodyPostings::Ids ids;
    bool broken = false;
    const long code = each({"select seg, term, ids from " + term_, {}, {}},
                           [&](const std::vector<SqlValue> &row) {
                               if (!BodyPostings::Decode(row[2].text, ids)) {
                                   broken = true;
                                   return false;
                               }
                               for (long long id : ids) {
                                   const auto s = stale.find(id);
                                   if (s == stale.end() || s->second <= row[0].integer)
                                       out.emplace_back(row[1].text, id);
                               }
                               return true;
                           });
    if (code)
        return code;
    return broken ? brokenData("ids") : 0;
}
