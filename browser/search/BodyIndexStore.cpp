#include "BodyIndexStore.h"

#include "SearchTexts.h"

#include "common/Codec.h"

#include <algorithm>
#include <charconv>

namespace {

// Ids of one IN list: few statements, each well within what either engine binds.
constexpr std::size_t IdsPerList = 500;

std::string inList(std::size_t n)
{
    return "(" + Placeholders(n) + ")";
}

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
    , text_(table + "_body_text")
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
                  + " not null, block " + blob + " not null, primary key (seg, term))"
                  + (lite ? " without rowid" : ""),
          "create table " + doc_ + " (topicid " + integer + " primary key, filesize " + integer
                  + " not null, modified " + integer + " not null, part " + integer
                  + " not null, at " + integer + " not null, len " + integer + " not null)",
          "create table " + text_ + " (part " + integer + " primary key, texts " + blob
                  + " not null)",
          "create table " + stale_ + " (topicid " + integer + " primary key, below " + integer
                  + " not null)"}) {
        if (const long code = run(sql))
            return code;
    }
    // Blocks are packed already, and a text is read as a slice of its part, which a
    // compressed value would have to be unpacked whole for. A part fitting a page stays
    // in its row: reading it then takes no look-up in TOAST.
    if (!lite) {
        for (const std::string &sql :
             {"alter table " + term_ + " alter column block set storage external",
              "alter table " + text_ + " alter column texts set storage external",
              "alter table " + text_ + " set (toast_tuple_target = 8160)"}) {
            if (const long code = run(sql))
                return code;
        }
    }
    return 0;
}

long BodyIndexStore::drop()
{
    // With the tables of the earlier design, which an older index may still have.
    const std::vector<std::string> names = engine_ == DbEngine::SQLite
            ? std::vector<std::string> {seg_,
                                        term_,
                                        doc_,
                                        stale_,
                                        text_,
                                        table_ + "_body_pos",
                                        table_ + "_body_chr",
                                        table_ + "_body_file"}
            : std::vector<std::string> {seg_, term_, doc_, stale_, text_, table_ + "_body"};
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
        insert.values.assign(
                std::make_move_iterator(values.begin() + std::ptrdiff_t(at * columns)),
                std::make_move_iterator(values.begin() + std::ptrdiff_t((at + n) * columns)));
        if (const long code = run(insert))
            return code;
    }
    values.clear();
    return 0;
}

long BodyIndexStore::lockWrites()
{
    if (engine_ != DbEngine::PostgreSQL)
        return 0;
    return run("lock table " + seg_ + " in share row exclusive mode");
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

long BodyIndexStore::remove(const std::vector<long long> &topicids)
{
    if (const long code = lockWrites())
        return code;
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
    const long code = each(
            {"select seg, block from " + term_, {}, {}}, [&](const std::vector<SqlValue> &row) {
                std::size_t at = 0;
                std::string_view term, list;
                while (BodyPostings::NextEntry(row[1].text, at, term, list, broken)) {
                    if (!BodyPostings::Decode(list, ids)) {
                        broken = true;
                        return false;
                    }
                    for (long long id : ids) {
                        const auto s = stale.find(id);
                        if (s == stale.end() || s->second <= row[0].integer)
                            out.emplace_back(std::string(term), id);
                    }
                }
                return !broken;
            });
    if (code)
        return code;
    return broken ? brokenData("ids") : 0;
}
