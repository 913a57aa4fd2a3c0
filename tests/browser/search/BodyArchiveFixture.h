#pragma once

// A small archive for the body search tests: a configuration with two top-level rooms
// (甲区, table TA, rooms 12 乙 with 121 丁 below, and 13 丙; 戊区, table TB), a database
// of either engine, post files under posts/, and the brute-force reference: every post
// file's text scanned for the query.

#include "DbTestHelpers.h"
#include "SearchTestHelpers.h"
#include "TestDatabase.h"
#include "TestSupport.h"

#include "browser/bodysearch/BodySearchPage.h"
#include "browser/db/CAdoManager.h"
#include "browser/rooms/RoomModel.h"
#include "browser/search/PostText.h"
#include "common/FileSystem.h"

#include <QFile>
#include <QTest>

#include <algorithm>
#include <map>
#include <memory>

struct BodyArchive
{
    std::unique_ptr<TempAppDir> dir = std::make_unique<TempAppDir>();
    std::unique_ptr<TestDatabase> db;
    RoomModel rooms;

    // What the tables hold: table ("TA", "TB") -> post ID -> room.
    std::map<std::string, std::map<long long, int>> posts;

    bool open(TestEngine engine, QString &reason, bool &skipped)
    {
        db = TestDatabase::create(engine, {"TA", "TB"}, reason, skipped);
        if (!db)
            return false;
        const std::string config = gbk("<?xml version=\"1.0\" encoding=\"GBK\"?>\n<r>"
                                       "<数据库连接字符串>unused</数据库连接字符串>"
                                       "<帖子类型 TABLE=\"TA\" ROOMID=\"1\">甲区"
                                       "<帖子类型 ROOMID=\"12\">乙<帖子类型 ROOMID=\"121\">丁"
                                       "</帖子类型></帖子类型>"
                                       "<帖子类型 ROOMID=\"13\">丙</帖子类型>"
                                       "<帖子属性范围>1 9999 ")
                + dir->path()
                + gbk("/posts/|ID|.htm</帖子属性范围></帖子类型>"
                      "<帖子类型 TABLE=\"TB\" ROOMID=\"2\">戊区"
                      "<帖子属性范围>1 9999 ")
                + dir->path() + gbk("/tb/|ID|.htm</帖子属性范围></帖子类型></r>");
        dir->write("Configs/InitTree.xml", config);
        std::string why;
        if (!rooms.LoadTreeConfig(dir->file("Configs/InitTree.xml"), &why)) {
            reason = show(why);
            return false;
        }
        return true;
    }

    const std::string &connection() const { return db->connectionString(); }

    // The file of a post of table TA or TB (written in either case).
    std::string fileOf(long long id, const std::string &table = "TA") const
    {
        const bool ta = table == "TA" || table == "ta";
        return dir->file((ta ? "posts/" : "tb/") + std::to_string(id) + ".htm");
    }

    // A page (GBK) for the post's file.
    static std::string page(const std::string &bodyGbk)
    {
        return "<html><head><meta charset=\"gbk\"></head><body><p>" + bodyGbk
                + "</p></body></html>";
    }

    void writeFile(long long id, const std::string &pageBytes, const std::string &table = "TA")
    {
        writeBytes(FileSystem::toQtPath(fileOf(id, table)), pageBytes);
    }

    // A row and its file.
    bool add(long long id, int room, const std::string &bodyGbk, const std::string &table = "TA")
    {
        writeFile(id, page(bodyGbk), table);
        QString error;
        const std::string row = "insert into " + table
                + " (topicid, title, roomid, username, createtime) values (" + std::to_string(id)
                + ", '" + gbk("标题") + std::to_string(id) + "', " + std::to_string(room) + ", 'u"
                + std::to_string(id) + "', '2024-01-02 03:04:05')";
        if (!db->execute({row}, error)) {
            qWarning("%s", qPrintable(error));
            return false;
        }
        posts[table][id] = room;
        return true;
    }

    // Post ID -> room of every row of a table, as the database holds them.
    std::map<long long, int> rowsOf(const std::string &table) const
    {
        std::map<long long, int> rows;
        CAdoManager ado;
        std::unique_ptr<CAdoRecordset> rs;
        if (ado.OpenAdoConnection(connection()) != 0
            || ado.ExecuteSql("select topicid, roomid from " + table, rs, CAdoManager::CommandText)
                    != 0)
            return rows;
        for (; rs->IsOpen() && !rs->IsEOF(); rs->MoveNext()) {
            long long id = 0, room = 0;
            rs->Value(0).ToInt64(id);
            rs->Value(1).ToInt64(room);
            rows[id] = int(room);
        }
        return rows;
    }

    // Post IDs, newest first, whose file's text matches: the reference. All tables:
    // merged as the search merges them, TA before TB on equal IDs.
    std::vector<long long> expected(const SearchQuery &query, const std::vector<int> &inRooms = {},
                                    const std::string &only = {}) const
    {
        std::vector<long long> ids;
        for (const auto &[table, rows] : posts) {
            if (!only.empty() && table != only)
                continue;
            std::vector<long long> inTable;
            for (const auto &[id, room] : rows) {
                if (!inRooms.empty()
                    && std::find(inRooms.begin(), inRooms.end(), room) == inRooms.end())
                    continue;
                std::string bytes;
                FileSystem::readWholeFile(fileOf(id, table), bytes);
                if (SearchTest::queryMatches(ExtractPostText(bytes).text, query))
                    inTable.push_back(id);
            }
            ids.insert(ids.end(), inTable.rbegin(), inTable.rend());
        }
        std::stable_sort(ids.begin(), ids.end(), std::greater<>());
        return ids;
    }

    // What a search finds (all of it), or {-1} with a warning when it fails.
    std::vector<long long> found(const SearchQuery &query,
                                 const std::vector<BodySearchTable> &scope,
                                 long long *count = nullptr)
    {
        BodySearchPage search(rooms, connection());
        BodySearchPageResult result;
        if (search.Run(scope, query, 0, 100000, false, result) != 0) {
            qWarning("%s", qPrintable(show(search.Problem())));
            return {-1};
        }
        if (count)
            *count = result.count;
        std::vector<long long> ids;
        for (const BodySearchRow &row : result.rows)
            ids.push_back(row.topicid);
        return ids;
    }

    std::vector<long long> foundInArchive(const SearchQuery &query)
    {
        return found(query, ArchiveSearchScope(rooms));
    }
};

inline SearchQuery parsedQuery(const char *utf8)
{
    SearchQuery query;
    std::string problem;
    if (!ParseSearchQuery(gbk(utf8), query, problem))
        qWarning("%s", qPrintable(show(problem)));
    return query;
}

// Queries that meet the generated posts in many ways: pairs, single characters, phrases
// across elements, English words, exclusions.
inline const std::vector<const char *> &referenceQueries()
{
    static const std::vector<const char *> list = {"数据",
                                                   "内存泄漏",
                                                   "的",
                                                   "癨",
                                                   "malloc",
                                                   "\"数据库 error\"",
                                                   "问题 -编译",
                                                   "QString",
                                                   "泄漏",
                                                   "全文检索 索引",
                                                   "帖子 回复 楼主",
                                                   "乗"};
    return list;
}

#define OPEN_BODY_ARCHIVE(a)                                                                       \
    QFETCH(TestEngine, engine);                                                                    \
    BodyArchive a;                                                                                 \
    {                                                                                              \
        QString reason;                                                                            \
        bool skipped = false;                                                                      \
        if (!a.open(engine, reason, skipped)) {                                                    \
            if (skipped)                                                                           \
                QSKIP(qPrintable(reason));                                                         \
            QFAIL(qPrintable(reason));                                                             \
        }                                                                                          \
    }
