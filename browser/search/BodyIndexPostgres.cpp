#include "BodyIndexStore.h"

#include "BodyTokens.h"

#include "browser/db/CAdoManager.h"

namespace {

constexpr std::size_t RemoveBatch = 200;

class PostgresStore : public BodyIndexStore
{
public:
    PostgresStore(CAdoManager &ado, const std::string &table)
        : BodyIndexStore(ado, table)
        , body_(table + "_body")
        , terms_(table + "_body_terms")
    {
    }

    // Asked first: "if exists" and "if not exists" make the server print notices,
    // which a terminal would show.
    long tableExists(const std::string &name, bool &exists) override
    {
        long long count = 0;
        const long code = number({"select count(*) from pg_catalog.pg_class c join "
                                  "pg_catalog.pg_namespace n on n.oid = c.relnamespace where "
                                  "c.relname = lower(?) and n.nspname = current_schema()",
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
             {BodyTokens::PostgresTermsFunction(),
              "create table " + body_
                      + " (topicid bigint primary key, filesize bigint not null, "
                        "modified bigint not null, body text not null)",
              "create index " + terms_ + " on " + body_ + " using gin ("
                      + BodyTokens::PostgresTermsFunctionName() + "(body))"}) {
            if (const long code = run(sql))
                return code;
        }
        return 0;
    }

    long drop() override
    {
        bool exists = false;
        if (const long code = tableExists(body_, exists))
            return code;
        return exists ? run("drop table " + body_) : 0;
    }

    // New entries wait in the GIN index's pending list, which every search reads
    // through; this moves them into the index proper. (The planner's statistics are
    // not needed: a search reads the index whatever they say.)
    long optimize() override
    {
        return run({"select gin_clean_pending_list(cast(? as regclass))",
                    {SqlValue::fromText(terms_)},
                    {}});
    }

    long put(long long topicid, const PostText &text, const PostFileStamp &stamp) override
    {
        return run({"insert into " + body_
                            + " (topicid, filesize, modified, body) values (?, ?, ?, ?) "
                              "on conflict (topicid) do update set filesize = excluded.filesize, "
                              "modified = excluded.modified, body = excluded.body",
                    {SqlValue::fromInteger(topicid), SqlValue::fromInteger(stamp.size),
                     SqlValue::fromInteger(stamp.modified), SqlValue::fromText(text.text)},
                    {}});
    }

    long remove(const std::vector<long long> &topicids) override
    {
        for (std::size_t at = 0; at < topicids.size(); at += RemoveBatch) {
            const std::size_t n = std::min(RemoveBatch, topicids.size() - at);
            BoundStatement del {
                    "delete from " + body_ + " where topicid in (" + Placeholders(n) + ")", {}, {}};
            for (std::size_t i = 0; i < n; ++i)
                del.values.push_back(SqlValue::fromInteger(topicids[at + i]));
            if (const long code = run(del))
                return code;
        }
        return 0;
    }

    long search(const SearchQuery &searchQuery, const BodySearchScope &scope, long long offset,
                int limit, BodySearchResult &result) override
    {
        // The index finds the candidates of every positive term at once; a term of more
        // than one index term is then checked on the text, and an excluded term is
        // checked on the text alone.
        std::string tsquery;
        BoundStatement where {"", {}, {}};
        std::string checks;
        std::vector<SqlValue> checkValues;
        for (const SearchTerm &term : searchQuery.terms) {
            bool exact = false;
            const std::string q = TsQueryOf(term, exact);
            if (term.excluded) {
                checks += " and strpos(b.body, ?) = 0";
                checkValues.push_back(SqlValue::fromText(TermPattern(term)));
                continue;
            }
            tsquery += tsquery.empty() ? "(" + q + ")" : " & (" + q + ")";
            if (!exact) {
                checks += " and strpos(b.body, ?) > 0";
                checkValues.push_back(SqlValue::fromText(TermPattern(term)));
            }
        }
        where.sql = " from " + body_ + " b";
        if (!scope.roomids.empty())
            where.sql += " join " + table_ + " p on p.topicid = b.topicid";
        where.sql += " where " + BodyTokens::PostgresTermsFunctionName()
                + "(b.body) @@ cast(? as tsquery)";
        where.values.push_back(SqlValue::fromText(tsquery));
        if (!scope.roomids.empty()) {
            where.sql += " and p.roomid in (" + Placeholders(scope.roomids.size()) + ")";
            for (const std::string &room : scope.roomids)
                where.values.push_back(RoomValue(room));
        }
        where.sql += checks;
        where.values.insert(where.values.end(), checkValues.begin(), checkValues.end());
        // The planner cannot know what computing a post's terms costs (the function is
        // inlined): left alone, it scans the table or walks the key, computing them for
        // every post, whenever most posts match. Only the index may be read.
        const bool own = !ado_.InTransaction();
        if (own && ado_.BeginTransaction() != 0) {
            problem_ = ado_.LastError();
            return 31;
        }
        long code = 0;
        for (const char *setting : {"set local enable_seqscan = off",
                                    "set local enable_indexscan = off", "set local jit = off"}) {
            if (!code)
                code = run(std::string(setting));
        }
        if (!code)
            code = readPage(where, offset, limit, result);
        if (own)
            code ? ado_.RollbackTransaction() : (code = ado_.CommitTransaction());
        if (code && problem_.empty())
            problem_ = ado_.LastError();
        return code;
    }

    long readPage(const BoundStatement &where, long long offset, int limit,
                  BodySearchResult &result)
    {
        if (const long code =
                    number({"select count(*)" + where.sql, where.values, {}}, result.count))
            return code;
        if (limit == 0 || offset >= result.count)
            return 0;
        BoundStatement page {"select b.topicid" + where.sql
                                     + " order by b.topicid desc limit ? offset ?",
                             where.values,
                             {}};
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

    std::string stampTable() const override { return body_; }

private:
    std::string body_;
    std::string terms_;
};

} // namespace

std::unique_ptr<BodyIndexStore> MakeSqliteBodyStore(CAdoManager &ado, const std::string &table);

std::unique_ptr<BodyIndexStore> BodyIndexStore::make(CAdoManager &ado, DbEngine engine,
                                                     const std::string &table)
{
    if (engine == DbEngine::SQLite)
        return MakeSqliteBodyStore(ado, table);
    if (engine == DbEngine::PostgreSQL)
        return std::make_unique<PostgresStore>(ado, table);
    return nullptr;
}
