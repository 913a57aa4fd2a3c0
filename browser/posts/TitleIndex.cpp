#include "TitleIndex.h"

#include "browser/db/CAdoManager.h"
#include "browser/db/DbError.h"
#include "browser/db/EmbeddedDatabase.h"
#include "common/Codec.h"

namespace {

constexpr long long BatchRows = 20000;

// What to do about a missing right (SQLSTATE 42501), put before the database's report.
constexpr const char ExtensionNeeded[] =
        "标题索引需要 pg_trgm 扩展: 请数据库管理员在这个数据库中执行 CREATE EXTENSION pg_trgm; "
        "(或者授予该角色在数据库上的 CREATE 权限)";
constexpr const char OwnerNeeded[] =
        "只有表的所有者(owner)能为它建立或删除索引: 请以表的所有者连接, "
        "或者由管理员执行 ALTER TABLE 表名 OWNER TO 角色名;";

std::string triggerName(const std::string &table, const char *suffix)
{
    return TitleIndexName(table) + suffix;
}

bool run(CAdoManager &ado, const std::string &sql, std::string &problem)
{
    if (ado.ExecuteSql(sql, CAdoManager::CommandText) == 0)
        return true;
    problem = ado.LastError();
    return false;
}

bool runAll(CAdoManager &ado, const std::vector<std::string> &statements, std::string &problem)
{
    for (const std::string &sql : statements) {
        if (!run(ado, sql, problem))
            return false;
    }
    return true;
}

bool queryNumber(CAdoManager &ado, const BoundStatement &statement, long long &number, bool &isNull,
                 std::string &problem)
{
    std::unique_ptr<CAdoRecordset> rs;
    if (ado.ExecuteSql(statement, rs, CAdoManager::CommandText) != 0) {
        problem = ado.LastError();
        return false;
    }
    isNull = !rs->IsOpen() || rs->IsEOF() || rs->Value(0).IsNull();
    number = 0;
    if (!isNull)
        rs->Value(0).ToInt64(number);
    return true;
}

std::vector<std::string> sqliteDropStatements(const std::string &table)
{
    const std::string index = TitleIndexName(table);
    return {"drop trigger if exists " + triggerName(table, "_ai"),
            "drop trigger if exists " + triggerName(table, "_ad"),
            "drop trigger if exists " + triggerName(table, "_au"), "drop table if exists " + index};
}

std::vector<std::string> sqliteCreateStatements(const std::string &table)
{
    const std::string index = TitleIndexName(table);
    const std::string remove = "insert into " + index + " (" + index
            + ", rowid, title) values ('delete', old.topicid, old.title); ";
    const std::string add =
            "insert into " + index + " (rowid, title) values (new.topicid, new.title); ";
    return {"create virtual table " + index + " using fts5(title, content='" + table
                    + "', content_rowid='topicid', tokenize='trigram')",
            "create trigger " + triggerName(table, "_ai") + " after insert on " + table + " begin "
                    + add + "end",
            "create trigger " + triggerName(table, "_ad") + " after delete on " + table + " begin "
                    + remove + "end",
            "create trigger " + triggerName(table, "_au") + " after update of topicid, title on "
                    + table + " begin " + remove + add + "end"};
}

// Fills the new index in batches of topicids, reporting after each.
TitleIndexResult fillSqliteIndex(CAdoManager &ado, const std::string &table,
                                 const TitleIndexProgressFn &progress, std::string &problem)
{
    TitleIndexProgress state;
    bool isNull = false;
    if (!queryNumber(ado, {"select count(*) from " + table, {}, {}}, state.total, isNull, problem))
        return TitleIndexResult::Failed;
    long long last = 0;
    bool first = true;
    while (state.done < state.total) {
        // The topicid that ends this batch: the last of the next BatchRows rows.
        BoundStatement end {"select max(topicid) from (select topicid from " + table
                                    + (first ? std::string() : " where topicid > ?")
                                    + " order by topicid limit " + std::to_string(BatchRows) + ")",
                            {},
                            {}};
        if (!first)
            end.values.push_back(SqlValue::fromInteger(last));
        long long batchEnd = 0;
        if (!queryNumber(ado, end, batchEnd, isNull, problem))
            return TitleIndexResult::Failed;
        if (isNull)
            break;
        BoundStatement fill {"insert into " + TitleIndexName(table)
                                     + " (rowid, title) select topicid, title from " + table
                                     + " where " + (first ? std::string() : "topicid > ? and ")
                                     + "topicid <= ?",
                             {},
                             {}};
        if (!first)
            fill.values.push_back(SqlValue::fromInteger(last));
        fill.values.push_back(SqlValue::fromInteger(batchEnd));
        if (ado.ExecuteSql(fill, CAdoManager::CommandText) != 0) {
            problem = ado.LastError();
            return TitleIndexResult::Failed;
        }
        state.done = std::min(state.total, state.done + BatchRows);
        last = batchEnd;
        first = false;
        if (progress && !progress(state))
            return TitleIndexResult::Stopped;
    }
    state.done = state.total;
    if (progress)
        progress(state);
    return TitleIndexResult::Built;
}

// The database's report of a failed statement, after what the user can do about it when
// a right is missing.
bool runOnPostgres(CAdoManager &ado, const std::string &sql, const char *hint, std::string &problem)
{
    const long code = ado.ExecuteSql(sql, CAdoManager::CommandText);
    if (code == 0)
        return true;
    problem = ado.LastError();
    if (EngineOfCode(code) == DbEngine::PostgreSQL && NativeOfCode(code) == SqlStateNumber("42501"))
        problem = Gbk::literal(hint) + "\r\n" + problem;
    return false;
}

// pg_trgm's GIN index in one transaction: the old index dropped, the new one built and
// its rows counted while the build's lock keeps writers out, so the count is the rows
// indexed. A failure or a stop undoes all of it. Nothing is sent that makes the server
// print a notice ("if exists", "if not exists"): a terminal would show it.
TitleIndexResult buildPostgresIndex(CAdoManager &ado, const std::string &table,
                                    const TitleIndexProgressFn &progress, std::string &problem)
{
    long long installed = 0;
    bool isNull = false;
    if (!queryNumber(ado, {"select count(*) from pg_extension where extname = 'pg_trgm'", {}, {}},
                     installed, isNull, problem))
        return TitleIndexResult::Failed;
    if (installed == 0 && !runOnPostgres(ado, "create extension pg_trgm", ExtensionNeeded, problem))
        return TitleIndexResult::Failed;
    bool exists = false;
    if (HasTitleIndex(ado, SqlDialect::PostgreSQL, table, exists) != 0
        || ado.BeginTransaction() != 0) {
        problem = ado.LastError();
        return TitleIndexResult::Failed;
    }
    const std::string index = TitleIndexName(table);
    TitleIndexProgress state;
    if ((exists && !runOnPostgres(ado, "drop index " + index, OwnerNeeded, problem))
        || !runOnPostgres(ado,
                          "create index " + index + " on " + table
                                  + " using gin (title collate \"C\" gin_trgm_ops)",
                          OwnerNeeded, problem)) {
        ado.RollbackTransaction();
        return TitleIndexResult::Failed;
    }
    if (!queryNumber(ado, {"select count(*) from " + table, {}, {}}, state.total, isNull,
                     problem)) {
        ado.RollbackTransaction();
        return TitleIndexResult::Failed;
    }
    state.done = state.total;
    if (progress && !progress(state)) {
        ado.RollbackTransaction();
        return TitleIndexResult::Stopped;
    }
    if (ado.CommitTransaction() != 0) {
        problem = ado.LastError();
        ado.RollbackTransaction();
        return TitleIndexResult::Failed;
    }
    return TitleIndexResult::Built;
}

} // namespace

long HasTitleIndex(CAdoManager &ado, SqlDialect dialect, const std::string &table, bool &exists)
{
    exists = false;
    BoundStatement probe;
    if (dialect == SqlDialect::SQLite)
        probe.sql = "select count(*) from sqlite_master where type = 'table' and name = ?";
    else
        probe.sql = "select count(*) from pg_indexes where indexname = lower(?)";
    probe.values.push_back(SqlValue::fromText(TitleIndexName(table)));
    std::unique_ptr<CAdoRecordset> rs;
    if (const long code = ado.ExecuteSql(probe, rs, CAdoManager::CommandText))
        return code;
    long long count = 0;
    if (rs->IsOpen() && !rs->IsEOF())
        rs->Value(0).ToInt64(count);
    exists = count > 0;
    return 0;
}

bool TitleIndexExists(const std::string &connectionString, const std::string &table)
{
    // PostgreSQL's planner finds its index by itself.
    const SqlDialect dialect = DialectOf(connectionString);
    if (dialect != SqlDialect::SQLite || !IsPlainTableName(table))
        return false;
    CAdoManager ado;
    bool exists = false;
    if (ado.OpenAdoConnection(connectionString) != 0
        || HasTitleIndex(ado, dialect, table, exists) != 0)
        return false;
    return exists;
}

TitleIndexResult BuildTitleIndex(CAdoManager &ado, SqlDialect dialect, const std::string &table,
                                 const TitleIndexProgressFn &progress, std::string &problem)
{
    if (!IsPlainTableName(table)) {
        problem = "not a plain table name: " + table;
        return TitleIndexResult::Failed;
    }
    if (dialect == SqlDialect::PostgreSQL)
        return buildPostgresIndex(ado, table, progress, problem);
    if (ado.BeginTransaction() != 0) {
        problem = ado.LastError();
        return TitleIndexResult::Failed;
    }
    TitleIndexResult result = TitleIndexResult::Failed;
    if (runAll(ado, sqliteDropStatements(table), problem)
        && runAll(ado, sqliteCreateStatements(table), problem))
        result = fillSqliteIndex(ado, table, progress, problem);
    if (result != TitleIndexResult::Built) {
        ado.RollbackTransaction();
        return result;
    }
    if (ado.CommitTransaction() != 0) {
        problem = ado.LastError();
        ado.RollbackTransaction();
        return TitleIndexResult::Failed;
    }
    return TitleIndexResult::Built;
}

long DropTitleIndex(CAdoManager &ado, SqlDialect dialect, const std::string &table,
                    std::string &problem)
{
    if (!IsPlainTableName(table)) {
        problem = "not a plain table name: " + table;
        return 87;
    }
    if (dialect == SqlDialect::PostgreSQL) {
        // Asked first: "drop index if exists" would print the server's notice.
        bool exists = false;
        if (HasTitleIndex(ado, dialect, table, exists) != 0) {
            problem = ado.LastError();
            return 31;
        }
        if (!exists)
            return 0;
        return runOnPostgres(ado, "drop index " + TitleIndexName(table), OwnerNeeded, problem) ? 0
                                                                                               : 31;
    }
    return runAll(ado, sqliteDropStatements(table), problem) ? 0 : 31;
}
