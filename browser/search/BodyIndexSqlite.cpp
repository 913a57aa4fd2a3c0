#include "BodyIndexStore.h"

#include "BodyTokens.h"
#include "SearchTexts.h"

#include "browser/db/CAdoManager.h"
#include "common/Codec.h"

#include <QByteArray>

namespace {

constexpr std::size_t RemoveBatch = 100;

// The text kept for exact removal: zlib, then base64, as the layer binds texts only.
std::string packText(const std::string &text)
{
    if (text.empty())
        return {};
    const QByteArray packed =
            qCompress(QByteArray::fromRawData(text.data(), qsizetype(text.size()))).toBase64();
    return std::string(packed.constData(), std::size_t(packed.size()));
}

bool unpackText(const std::string &stored, std::string &text)
{
    text.clear();
    if (stored.empty())
        return true;
    const auto decoded = QByteArray::fromBase64Encoding(
            QByteArray::fromRawData(stored.data(), qsizetype(stored.size())),
            QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return false;
    const QByteArray raw = qUncompress(*decoded);
    if (raw.isEmpty())
        return false;
    text.assign(raw.constData(), std::size_t(raw.size()));
    return true;
}

class SqliteStore : public BodyIndexStore
{
public:
    SqliteStore(CAdoManager &ado, const std::string &table)
        : BodyIndexStore(ado, table)
        , pos_(table + "_body_pos")
        , chr_(table + "_body_chr")
        , file_(table + "_body_file")
    {
    }

    long tableExists(const std::string &name, bool &exists) override
    {
        long long count = 0;
        const long code = number({"select count(*) from sqlite_master where type = 'table' and "
                                  "name = ? collate nocase",
                                  {SqlValue::fromText(name)},
                                  {}},
                                 count);
        exists = count > 0;
        return code;
    }

    long create() override
    {
        if (const long code = drop())
            return code;
        for (const std::string &sql :
             {"create virtual table " + pos_
                      + " using fts5(t, content='', detail=full, columnsize=0, "
                        "tokenize=\"ascii tokenchars '_'\")",
              "create virtual table " + chr_
                      + " using fts5(t, content='', detail=none, columnsize=0, tokenize='ascii')",
              "create table " + file_
                      + " (topicid integer primary key, filesize integer not null, "
                        "modified integer not null, text text not null)"}) {
            if (const long code = run(sql))
                return code;
        }
        return 0;
    }

    long drop() override
    {
        for (const std::string &name : {pos_, chr_, file_}) {
            if (const long code = run("drop table if exists " + name))
                return code;
        }
        return 0;
    }

    long optimize() override
    {
        for (const std::string &table : {pos_, chr_}) {
            if (const long code =
                        run("insert into " + table + " (" + table + ") values ('optimize')"))
                return code;
        }
        return 0;
    }

    long put(long long topicid, const PostText &text, const PostFileStamp &stamp) override
    {
        std::unique_ptr<CAdoRecordset> rows;
        if (const long code = query({"select text from " + file_ + " where topicid = ?",
                                     {SqlValue::fromInteger(topicid)},
                                     {}},
                                    rows))
            return code;
        if (rows->IsOpen() && !rows->IsEOF()) {
            if (const long code = removeTerms(topicid, rows->Value(0).Text()))
                return code;
        }
        BodyTokens::IndexTokens tokens;
        BodyTokens::MakeIndexTokens(text.text, tokens);
        if (const long code = writeTerms(topicid, tokens, false))
            return code;
        return run(
                {"insert or replace into " + file_
                         + " (topicid, filesize, modified, text) values (?, ?, ?, ?)",
                 {SqlValue::fromInteger(topicid), SqlValue::fromInteger(stamp.size),
                  SqlValue::fromInteger(stamp.modified), SqlValue::fromText(packText(text.text))},
                 {}});
    }

    long remove(const std::vector<long long> &topicids) override
    {
        for (std::size_t at = 0; at < topicids.size(); at += RemoveBatch) {
            const std::size_t n = std::min(RemoveBatch, topicids.size() - at);
            BoundStatement select {"select topicid, text from " + file_ + " where topicid in ("
                                           + Placeholders(n) + ")",
                                   {},
                                   {}};
            for (std::size_t i = 0; i < n; ++i)
                select.values.push_back(SqlValue::fromInteger(topicids[at + i]));
            std::unique_ptr<CAdoRecordset> rows;
            if (const long code = query(select, rows))
                return code;
            for (; rows->IsOpen() && !rows->IsEOF(); rows->MoveNext()) {
                long long id = 0;
                rows->Value(0).ToInt64(id);
                if (const long code = removeTerms(id, rows->Value(1).Text()))
                    return code;
            }
            select.sql = "delete from " + file_ + " where topicid in (" + Placeholders(n) + ")";
            if (const long code = run(select))
                return code;
        }
        return 0;
    }

    long search(const SearchQuery &searchQuery, const BodySearchScope &scope, long long offset,
                int limit, BodySearchResult &result) override;

    std::string stampTable() const override { return file_; }

private:
    long removeTerms(long long topicid, const std::string &stored)
    {
        std::string old;
        if (!unpackText(stored, old)) {
            problem_ = Gbk::literal(SearchTexts::StoredTextBroken);
            problem_.replace(problem_.find("%1"), 2, std::to_string(topicid));
            return 31;
        }
        BodyTokens::IndexTokens tokens;
        BodyTokens::MakeIndexTokens(old, tokens);
        return writeTerms(topicid, tokens, true);
    }

    // A contentless FTS5 table forgets a row when given the very terms it was given.
    long writeTerms(long long topicid, const BodyTokens::IndexTokens &tokens, bool remove)
    {
        const std::pair<const std::string *, const std::string *> tables[] = {
                {&pos_, &tokens.positional}, {&chr_, &tokens.characters}};
        for (const auto &[table, terms] : tables) {
            if (terms->empty())
                continue;
            const std::string sql = remove ? "insert into " + *table + " (" + *table
                            + ", rowid, t) values ('delete', ?, ?)"
                                           : "insert into " + *table + " (rowid, t) values (?, ?)";
            if (const long code = run(
                        {sql, {SqlValue::fromInteger(topicid), SqlValue::fromText(*terms)}, {}}))
                return code;
        }
        return 0;
    }

    std::string pos_;
    std::string chr_;
    std::string file_;
};

long SqliteStore::search(const SearchQuery &searchQuery, const BodySearchScope &scope,
                         long long offset, int limit, BodySearchResult &result)
{
    std::string positive;
    std::string excluded;
    std::string characters;
    std::string excludedCharacters;
    auto join = [](std::string &to, const std::string &what, const char *op) {
        to += to.empty() ? "(" + what + ")" : std::string(op) + "(" + what + ")";
    };
    for (const SearchTerm &term : searchQuery.terms) {
        const bool single = IsSingleCharacterTerm(term);
        const std::string expr = single ? Fts5Character(term) : Fts5Phrase(term);
        if (single)
            join(term.excluded ? excludedCharacters : characters, expr,
                 term.excluded ? " OR " : " AND ");
        else
            join(term.excluded ? excluded : positive, expr, term.excluded ? " OR " : " AND ");
    }
    // The first positive table drives; the other conditions narrow its rows.
    BoundStatement where;
    std::string driver;
    if (!positive.empty()) {
        driver = pos_;
        where.values.push_back(SqlValue::fromText(
                excluded.empty() ? positive : "(" + positive + ") NOT (" + excluded + ")"));
        excluded.clear();
    } else {
        driver = chr_;
        where.values.push_back(SqlValue::fromText(characters));
        characters.clear();
    }
    where.sql = " from " + driver + " where " + driver + " match ?";
    auto narrow = [&](const std::string &expr, const std::string &table, bool in) {
        if (expr.empty())
            return;
        where.sql += std::string(" and rowid ") + (in ? "in" : "not in") + " (select rowid from "
                + table + " where " + table + " match ?)";
        where.values.push_back(SqlValue::fromText(expr));
    };
    narrow(characters, chr_, true);
    narrow(excluded, pos_, false);
    narrow(excludedCharacters, chr_, false);
    if (!scope.roomids.empty()) {
        where.sql += " and rowid in (select topicid from " + table_ + " where roomid in ("
                + Placeholders(scope.roomids.size()) + "))";
        for (const std::string &room : scope.roomids)
            where.values.push_back(RoomValue(room));
    }
    BoundStatement count {"select count(*)" + where.sql, where.values, {}};
    if (const long code = number(count, result.count))
        return code;
    if (limit == 0 || offset >= result.count)
        return 0;
    BoundStatement page {
            "select rowid" + where.sql + " order by rowid desc limit ? offset ?", where.values, {}};
    page.values.push_back(SqlValue::fromInteger(limit));
    page.values.push_back(SqlValue::fromInteger(offset));
    std::unique_ptr<CAdoRecordset> rows;
    if (const long code = query(page, rows))
        return code;
    for (; rows->IsOpen() && !rows->IsEOF(); rows->MoveNext()) {
        long long id = 0;
        rows->Value(0).ToInt64(id);
        result.topicids.push_back(id);
    }
    return 0;
}

} // namespace

std::unique_ptr<BodyIndexStore> MakeSqliteBodyStore(CAdoManager &ado, const std::string &table)
{
    return std::make_unique<SqliteStore>(ado, table);
}
