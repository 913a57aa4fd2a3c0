#pragma once

// A body index on a fresh database with post table "posts", the texts it should hold,
// and the checks the index tests share.

#include "SearchTestHelpers.h"
#include "TestDatabase.h"
#include "TestSupport.h"

#include "browser/db/CAdoManager.h"
#include "browser/search/BodyIndex.h"
#include "browser/search/BodyTokens.h"

#include <QTest>

#include <algorithm>
#include <map>
#include <memory>

Q_DECLARE_METATYPE(TestEngine)

namespace {

struct Fixture
{
    std::unique_ptr<TestDatabase> db;
    CAdoManager ado;
    std::unique_ptr<BodyIndex> index;
    std::map<long long, std::string> texts; // what the index should hold
    std::map<long long, int> rooms;

    bool open(TestEngine engine, QString &reason, bool &skipped)
    {
        db = TestDatabase::create(engine, {"posts"}, reason, skipped);
        if (!db)
            return false;
        if (ado.OpenAdoConnection(db->connectionString()) != 0) {
            reason = show(ado.LastError());
            return false;
        }
        index = std::make_unique<BodyIndex>(ado, BodyIndex::EngineOf(db->connectionString()),
                                            "posts");
        if (index->Create() != 0) {
            reason = show(index->Problem());
            return false;
        }
        return true;
    }

    bool put(long long id, const std::string &page, int room = 1)
    {
        if (!rooms.count(id)) {
            const BoundStatement row {"insert into posts (topicid, title, roomid) values (?, ?, ?)",
                                      {SqlValue::fromInteger(id), SqlValue::fromText("t"),
                                       SqlValue::fromInteger(room)},
                                      {}};
            if (ado.ExecuteSql(row, CAdoManager::CommandText) != 0)
                return false;
        }
        rooms[id] = room;
        const PostText text = ExtractPostText(page);
        texts[id] = text.text;
        return index->Put(id, text, {static_cast<long long>(page.size()), id}) == 0;
    }

    std::vector<long long> expected(const SearchQuery &query, const std::vector<int> &inRooms = {})
    {
        std::vector<long long> ids;
        for (const auto &[id, text] : texts) {
            const bool inScope = inRooms.empty()
                    || std::find(inRooms.begin(), inRooms.end(), rooms[id]) != inRooms.end();
            if (inScope && SearchTest::queryMatches(text, query))
                ids.push_back(id);
        }
        std::reverse(ids.begin(), ids.end());
        return ids;
    }

    std::vector<long long> found(const SearchQuery &query, const std::vector<int> &inRooms = {},
                                 long long *count = nullptr)
    {
        BodySearchScope scope;
        for (int r : inRooms)
            scope.roomids.push_back(std::to_string(r));
        BodySearchResult result;
        if (index->Search(query, scope, 0, 100000, result) != 0) {
            qWarning("%s", qPrintable(show(index->Problem())));
            return {-1};
        }
        if (count)
            *count = result.count;
        return result.topicids;
    }

    // Rows of a query as texts joined by "|", one string per row.
    std::vector<std::string> rows(const std::string &sql)
    {
        std::unique_ptr<CAdoRecordset> rs;
        std::vector<std::string> out;
        if (ado.ExecuteSql(sql, rs, CAdoManager::CommandText) != 0) {
            qWarning("%s", qPrintable(show(ado.LastError())));
            return {"failed"};
        }
        for (; rs->IsOpen() && !rs->IsEOF(); rs->MoveNext()) {
            std::string row;
            for (int i = 0; i < rs->FieldCount(); ++i)
                row += (i ? "|" : "") + rs->Value(i).Text();
            out.push_back(row);
        }
        return out;
    }
};

#define OPEN_FIXTURE(f)                                                                            \
    QFETCH(TestEngine, engine);                                                                    \
    Fixture f;                                                                                     \
    {                                                                                              \
        QString reason;                                                                            \
        bool skipped = false;                                                                      \
        if (!f.open(engine, reason, skipped)) {                                                    \
            if (skipped)                                                                           \
                QSKIP(qPrintable(reason));                                                         \
            QFAIL(qPrintable(reason));                                                             \
        }                                                                                          \
    }

inline SearchQuery parsed(const std::string &gbkQuery)
{
    SearchQuery query;
    std::string problem;
    ParseSearchQuery(gbkQuery, query, problem);
    return query;
}

// Every entry the index answers with equals what the texts held give, and it keeps a
// text for exactly those posts: nothing left of a replaced or removed post.
inline void verifyNoGhosts(Fixture &f)
{
    std::vector<std::pair<std::string, long long>> held;
    QCOMPARE(f.index->HeldTerms(held), 0L);
    std::vector<std::string> got;
    for (const auto &[term, id] : held)
        got.push_back(term + "|" + std::to_string(id));
    std::vector<std::string> want;
    std::vector<std::string> docs;
    for (const auto &[id, text] : f.texts) {
        for (const std::string &term : BodyTokens::TermSet(text))
            want.push_back(term + "|" + std::to_string(id));
        docs.push_back(std::to_string(id));
    }
    std::sort(got.begin(), got.end());
    std::sort(want.begin(), want.end());
    QCOMPARE(got.size(), want.size());
    QVERIFY(got == want);
    std::vector<std::string> kept = f.rows("select topicid from posts_body_doc");
    std::sort(kept.begin(), kept.end());
    std::sort(docs.begin(), docs.end());
    QVERIFY(kept == docs);
}

inline void engineRows()
{
    QTest::addColumn<TestEngine>("engine");
    QTest::newRow("sqlite") << TestEngine::SQLite;
    QTest::newRow("postgresql") << TestEngine::PostgreSQL;
}

} // namespace
