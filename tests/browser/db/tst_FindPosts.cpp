#include "DbTestHelpers.h"
#include "TestRegistry.h"

#include "browser/db/CAdoRecordset.h"
#include "browser/posts/PostStatementRun.h"
#include "browser/posts/PostStatements.h"
#include "browser/posts/TitleIndex.h"
#include "common/Codec.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cctype>

namespace {

// Posts of table T with the titles the find must tell apart.
struct TestPost
{
    long long topicid;
    const char *title; // UTF-8; nullptr for NULL
    int roomid;
};
const TestPost Posts[] = {
        {7, "Abc_def", 11},      {123, "abcXdef", 12},
        {1234, "it's here", 13}, {51230, "乢乗 no ascii", 111},
        {8, "乢_x", 11},         {9, "back\\slash", 12},
        {10, nullptr, 13},       {11, "ΣΑΣ", 11},
        {12, "a%b", 111},
};

std::vector<std::string> insertStatements()
{
    std::vector<std::string> statements;
    for (const TestPost &post : Posts) {
        const std::string title =
                post.title ? "'" + DoubleApostrophes(gbk(post.title)) + "'" : std::string("NULL");
        statements.push_back("insert into T (topicid, title, roomid) values ("
                             + std::to_string(post.topicid) + ", " + title + ", "
                             + std::to_string(post.roomid) + ")");
    }
    return statements;
}

// indexed: the query may use the title index; on PostgreSQL the planner is then kept
// from scanning the table, so the index answers.
std::vector<long long> found(const TestDatabase &db, const FindQueryInput &input,
                             bool indexed = false)
{
    BoundStatement statement;
    std::string problem;
    std::vector<long long> ids;
    if (!ComposeFindQuery(input, DialectOf(db.connectionString()), statement, problem, indexed))
        return {-1};
    CAdoManager ado;
    std::unique_ptr<CAdoRecordset> rs;
    if (ado.OpenAdoConnection(db.connectionString()) != 0
        || (indexed && db.engine() == TestEngine::PostgreSQL
            && ado.ExecuteSql("set enable_seqscan = off", CAdoManager::CommandText) != 0)
        || ado.ExecuteSql(statement, rs, CAdoManager::CommandText) != 0) {
        qWarning("%s", qPrintable(Gbk::toQString(ado.LastError())));
        return {-2};
    }
    for (; !rs->IsEOF(); rs->MoveNext())
        ids.push_back(numberOf(*rs, "topicid"));
    std::sort(ids.begin(), ids.end());
    return ids;
}

FindQueryInput byTitle(const char *utf8)
{
    FindQueryInput input;
    input.table = "T";
    input.text = gbk(utf8);
    return input;
}

using Ids = std::vector<long long>;

} // namespace

class TestFindPosts : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void findsTheSameRowsOnBothEngines_data() { addEngineRows(); }
    void findsTheSameRowsOnBothEngines()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "T");
        QString error;
        QVERIFY2(db->execute(insertStatements(), error), qPrintable(error));

        // Every row for an empty text, the NULL title too.
        QCOMPARE(found(*db, byTitle("")), (Ids {7, 8, 9, 10, 11, 12, 123, 1234, 51230}));
        // ASCII case alike; "_" matches itself only; "%" is a wildcard.
        QCOMPARE(found(*db, byTitle("ABC")), (Ids {7, 123}));
        QCOMPARE(found(*db, byTitle("c_d")), (Ids {7}));
        QCOMPARE(found(*db, byTitle("_")), (Ids {7, 8}));
        QCOMPARE(found(*db, byTitle("a%f")), (Ids {7, 123}));
        QCOMPARE(found(*db, byTitle("\\")), (Ids {9}));
        QCOMPARE(found(*db, byTitle("乢")), (Ids {8, 51230}));
        QCOMPARE(found(*db, byTitle("乗")), (Ids {51230}));
        QCOMPARE(found(*db, byTitle("it's")), (Ids {1234}));
        // Only ASCII case is folded, as SQLite does.
        QCOMPARE(found(*db, byTitle("σας")), Ids {});
        QCOMPARE(found(*db, byTitle("ΣΑΣ")), Ids {11});

        // The post ID is searched as text.
        FindQueryInput id = byTitle("123");
        id.byTopicId = true;
        QCOMPARE(found(*db, id), (Ids {123, 1234, 51230}));
        id.text = "1_";
        QCOMPARE(found(*db, id), Ids {});

        // Rooms: B (11) holds C (12); the marked room 111* is the last entry.
        FindQueryInput rooms = byTitle("");
        rooms.subRoomPaths = {"B", "B -> C", "D", "D -> S"};
        rooms.subRoomIds = {"11", "12", "13", "111*"};
        rooms.subRoomEntry = 1;
        QCOMPARE(found(*db, rooms), (Ids {7, 8, 9, 11, 123}));
        rooms.subRoomEntry = 3;
        QCOMPARE(found(*db, rooms), (Ids {10, 12, 1234, 51230}));
        rooms.includeSubRooms = false;
        QCOMPARE(found(*db, rooms), (Ids {10, 1234}));
        rooms.subRoomEntry = 4;
        QCOMPARE(found(*db, rooms), (Ids {12, 51230}));
    }

    void deleteAndMoveStatementsRun_data() { addEngineRows(); }
    void deleteAndMoveStatementsRun()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "T");
        QString error;
        QVERIFY2(db->execute(insertStatements(), error), qPrintable(error));
        BoundStatement statement;
        std::string problem;

        QVERIFY(ComposeMoveStatement("T", "13*", {"7", "8"}, statement, problem));
        QCOMPARE(RunPostStatement(db->connectionString(), statement).stage, StatementOutcome::Done);
        FindQueryInput room = byTitle("");
        room.subRoomPaths = {"D"};
        room.subRoomIds = {"13"};
        room.subRoomEntry = 1;
        QCOMPARE(found(*db, room), (Ids {7, 8, 10, 1234}));

        QVERIFY(ComposeDeleteStatement("T", {"7", "1234"}, statement, problem));
        QCOMPARE(RunPostStatement(db->connectionString(), statement).stage, StatementOutcome::Done);
        QCOMPARE(found(*db, room), (Ids {8, 10}));

        // A failed statement is told with its shown text; nothing changes.
        QVERIFY(ComposeDeleteStatement("Missing", {"8"}, statement, problem));
        const StatementOutcome failed = RunPostStatement(db->connectionString(), statement);
        QCOMPARE(failed.stage, StatementOutcome::Failed);
        QVERIFY(failed.code < 0);
        QVERIFY2(failed.report.find("delete from Missing where  topicid = 8") != std::string::npos,
                 failed.report.c_str());
        QCOMPARE(RunPostStatement("Provider=Nothing;x=1", statement).stage,
                 StatementOutcome::OpenFailed);
        QCOMPARE(found(*db, room), (Ids {8, 10}));
    }

    void titleIndexFindsTheSameRows_data() { addEngineRows(); }
    void titleIndexFindsTheSameRows()
    {
        QFETCH(TestEngine, engine);
        QUILLERY_TEST_DATABASE(db, engine, "T");
        // Titles over a small alphabet, so that patterns of up to six characters match:
        // ASCII letters of both cases, "_", the backslash, and characters whose GBK trail
        // bytes are "_" and the backslash.
        const std::vector<std::string> alphabet {"a",       "B",       "b",       "_",       "\\",
                                                 gbk("乢"), gbk("乗"), gbk("中"), gbk("文"), " "};
        QRandomGenerator random(20261208);
        using Chars = std::vector<std::string>;
        const auto randomChars = [&](int length) {
            Chars chars;
            for (int i = 0; i < length; ++i)
                chars.push_back(alphabet[random.bounded(int(alphabet.size()))]);
            return chars;
        };
        const auto join = [](const Chars &chars) {
            std::string text;
            for (const std::string &c : chars)
                text += c;
            return text;
        };
        std::vector<Chars> titles;
        std::vector<std::string> inserts;
        for (int id = 1; id <= 1500; ++id) {
            titles.push_back(randomChars(4 + random.bounded(12)));
            const std::string title = id % 97 == 0
                    ? std::string("NULL")
                    : "'" + DoubleApostrophes(join(titles.back())) + "'";
            inserts.push_back("insert into T (topicid, title, roomid) values (" + std::to_string(id)
                              + ", " + title + ", " + std::to_string(id % 3) + ")");
        }
        // Mostly pieces of stored titles, in either ASCII case, sometimes with a "%".
        const auto randomPattern = [&] {
            const int length = 1 + random.bounded(6);
            Chars chars = randomChars(length);
            const Chars &title = titles[std::size_t(random.bounded(int(titles.size())))];
            if (random.bounded(4) != 0 && int(title.size()) >= length) {
                const int start = random.bounded(int(title.size()) - length + 1);
                chars.assign(title.begin() + start, title.begin() + start + length);
            }
            for (std::string &c : chars) {
                if (c.size() == 1 && std::isalpha(static_cast<unsigned char>(c[0]))
                    && random.bounded(2))
                    c[0] = char(c[0] ^ 0x20);
            }
            if (random.bounded(5) == 0)
                chars.insert(chars.begin() + random.bounded(int(chars.size()) + 1), "%");
            return join(chars);
        };
        QString error;
        QVERIFY2(db->execute(inserts, error), qPrintable(error));

        CAdoManager ado;
        QCOMPARE(ado.OpenAdoConnection(db->connectionString()), 0L);
        const SqlDialect dialect = DialectOf(db->connectionString());
        bool exists = true;
        QCOMPARE(HasTitleIndex(ado, dialect, "T", exists), 0L);
        QVERIFY(!exists);
        std::vector<TitleIndexProgress> steps;
        std::string problem;
        QCOMPARE(BuildTitleIndex(
                         ado, dialect, "T",
                         [&](const TitleIndexProgress &step) {
                             steps.push_back(step);
                             return true;
                         },
                         problem),
                 TitleIndexResult::Built);
        QVERIFY(!steps.empty());
        QCOMPARE(HasTitleIndex(ado, dialect, "T", exists), 0L);
        QVERIFY(exists);
        QCOMPARE(TitleIndexExists(db->connectionString(), "T"), engine == TestEngine::SQLite);

        if (engine == TestEngine::PostgreSQL) {
            // The planner can answer the find's condition from the index.
            FindQueryInput probe = byTitle("abba");
            BoundStatement statement;
            QVERIFY(ComposeFindQuery(probe, dialect, statement, problem));
            std::string plan;
            std::unique_ptr<CAdoRecordset> rs;
            QCOMPARE(ado.ExecuteSql("set enable_seqscan = off", CAdoManager::CommandText), 0L);
            // A prepared statement cannot be explained: the test's own value written in.
            std::string sql = "explain " + statement.sql;
            sql.replace(sql.find('?'), 1, "'%abba%'");
            QVERIFY2(ado.ExecuteSql(sql, rs, CAdoManager::CommandText) == 0,
                     qPrintable(Gbk::toQString(ado.LastError())));
            for (; !rs->IsEOF(); rs->MoveNext())
                plan += rs->Value(0).Text() + "\n";
            QVERIFY2(plan.find("t_title_trigram") != std::string::npos, plan.c_str());
            QCOMPARE(ado.ExecuteSql("set enable_seqscan = on", CAdoManager::CommandText), 0L);
        }
        int matched = 0;
        const auto compare = [&](int patterns) {
            for (int i = 0; i < patterns; ++i) {
                FindQueryInput input = byTitle("");
                input.text = randomPattern();
                const Ids scanned = found(*db, input);
                const Ids indexed = found(*db, input, true);
                if (scanned != indexed)
                    qWarning("pattern %s: %zu rows scanned, %zu with the index",
                             qPrintable(show(input.text)), scanned.size(), indexed.size());
                QVERIFY(scanned.empty() || scanned.front() > 0);
                QCOMPARE(indexed, scanned);
                matched += scanned.empty() ? 0 : 1;
            }
        };
        compare(60);

        // Kept up to date by inserts, deletes and updates.
        QVERIFY2(db->execute({"delete from T where topicid % 5 = 0",
                              "update T set title = '" + gbk("乢乗B_a") + "' where topicid % 7 = 0",
                              "insert into T (topicid, title, roomid) values (5000, '"
                                      + gbk("x乢乗b_Az") + "', 1)"},
                             error),
                 qPrintable(error));
        compare(40);
        QVERIFY2(matched > 60, qPrintable(QString::number(matched)));
        FindQueryInput input = byTitle("");
        input.text = gbk("乢乗b_a");
        const Ids changed = found(*db, input, true);
        QVERIFY(changed.size() > 100);
        QVERIFY(std::find(changed.begin(), changed.end(), 5000) != changed.end());
        QVERIFY(std::find(changed.begin(), changed.end(), 35) == changed.end());

        // A build that is stopped leaves the table as it was; dropping removes it all.
        QCOMPARE(DropTitleIndex(ado, dialect, "T", problem), 0L);
        if (engine == TestEngine::SQLite) {
            QVERIFY2(db->execute({insertPostsSql(engine, "T", 10000, 60000, "1")}, error),
                     qPrintable(error));
            QCOMPARE(BuildTitleIndex(
                             ado, dialect, "T", [](const TitleIndexProgress &) { return false; },
                             problem),
                     TitleIndexResult::Stopped);
            QCOMPARE(HasTitleIndex(ado, dialect, "T", exists), 0L);
            QVERIFY(!exists);
            QVERIFY2(db->execute({"insert into T (topicid, title, roomid) values (70000, 'x', 1)"},
                                 error),
                     qPrintable(error));
        }
        QCOMPARE(HasTitleIndex(ado, dialect, "T", exists), 0L);
        QVERIFY(!exists);
        QCOMPARE(found(*db, input), changed);
    }
};

QUILLERY_REGISTER_TEST(TestFindPosts)
#include "tst_FindPosts.moc"
