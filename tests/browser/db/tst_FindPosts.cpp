#include "DbTestHelpers.h"
#include "TestRegistry.h"

#include "browser/db/CAdoRecordset.h"
#include "browser/posts/PostStatementRun.h"
#include "browser/posts/PostStatements.h"
#include "common/Codec.h"

#include <algorithm>

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

std::vector<long long> found(const TestDatabase &db, const FindQueryInput &input)
{
    BoundStatement statement;
    std::string problem;
    std::vector<long long> ids;
    if (!ComposeFindQuery(input, DialectOf(db.connectionString()), statement, problem))
        return {-1};
    CAdoManager ado;
    std::unique_ptr<CAdoRecordset> rs;
    if (ado.OpenAdoConnection(db.connectionString()) != 0
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
};

QUILLERY_REGISTER_TEST(TestFindPosts)
#include "tst_FindPosts.moc"
