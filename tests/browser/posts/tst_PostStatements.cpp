#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/posts/PostFileOperations.h"
#include "browser/posts/PostStatements.h"
#include "common/FileSystem.h"

#include <optional>

namespace {

// Top-level room A with table T: B (11) holding C (12), and D (13).
FindQueryInput exampleInput(int entry, bool ticked)
{
    FindQueryInput input;
    input.table = "T";
    input.text = "x";
    input.subRoomPaths = {"B", "B -> C", "D"};
    input.subRoomIds = {"11", "12", "13"};
    input.subRoomEntry = entry;
    input.includeSubRooms = ticked;
    return input;
}

BoundStatement compose(const FindQueryInput &input, SqlDialect dialect = SqlDialect::SQLite)
{
    BoundStatement statement;
    std::string problem;
    if (!ComposeFindQuery(input, dialect, statement, problem))
        statement.display = "failed: " + problem;
    return statement;
}

std::vector<std::string> textsOf(const BoundStatement &statement)
{
    std::vector<std::string> texts;
    for (const SqlValue &value : statement.values)
        texts.push_back(value.kind == SqlValue::Integer        ? std::to_string(value.integer)
                                : value.kind == SqlValue::Text ? "'" + value.text + "'"
                                                               : "NULL");
    return texts;
}

} // namespace

class TestPostStatements : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void findQueryOfTheWorkedExample()
    {
        BoundStatement ticked = compose(exampleInput(1, true));
        QCOMPARE(ticked.display,
                 std::string("select * from T where title like '%x%' and ( roomid = 11 or roomid = "
                             "12)"));
        QCOMPARE(ticked.sql,
                 std::string("select * from T where title like ? escape '\\' and ( roomid = ? or "
                             "roomid = ?)"));
        QCOMPARE(textsOf(ticked), (std::vector<std::string> {"'%x%'", "11", "12"}));
        QCOMPARE(compose(exampleInput(1, false)).display,
                 std::string("select * from T where title like '%x%' and ( roomid = 11)"));
        // The whole table, whatever room the rows belong to.
        QCOMPARE(compose(exampleInput(0, true)).display,
                 std::string("select * from T where title like '%x%'"));
        // PostgreSQL folds ASCII case only, as SQLite's LIKE does.
        QCOMPARE(compose(exampleInput(0, true), SqlDialect::PostgreSQL).sql,
                 std::string("select * from T where title collate \"C\" ilike ? escape '\\'"));
        // Nothing to fold, not even the trail byte 0x41 ("A") of 丄: the plain match.
        FindQueryInput chinese = exampleInput(0, true);
        chinese.text = gbk("丄1_");
        QCOMPARE(compose(chinese, SqlDialect::PostgreSQL).sql,
                 std::string("select * from T where title collate \"C\" like ? escape '\\'"));
        chinese.text = gbk("丄b");
        QCOMPARE(compose(chinese, SqlDialect::PostgreSQL).sql,
                 std::string("select * from T where title collate \"C\" ilike ? escape '\\'"));
    }

    void findRoomConditions()
    {
        // A leaf with the box ticked: one room.
        QCOMPARE(FindRoomIds(exampleInput(2, true)), std::vector<std::string> {"12"});
        QCOMPARE(FindRoomIds(exampleInput(3, true)), std::vector<std::string> {"13"});
        // Sub-rooms that are the last entries are all included, the very last one too.
        FindQueryInput last = exampleInput(2, true);
        last.subRoomPaths = {"D", "B", "B -> C", "B -> C -> E"};
        last.subRoomIds = {"13", "11", "12", "14"};
        QCOMPARE(FindRoomIds(last), (std::vector<std::string> {"11", "12", "14"}));
        // A following room whose name only begins with the same characters is not below.
        FindQueryInput bx = exampleInput(1, true);
        bx.subRoomPaths = {"B", "B -> C", "BX", "BX -> Y"};
        bx.subRoomIds = {"11", "12", "15", "16"};
        QCOMPARE(FindRoomIds(bx), (std::vector<std::string> {"11", "12"}));
        // The start-room marker never reaches the statement.
        FindQueryInput marked = exampleInput(1, true);
        marked.subRoomIds = {"111*", "12*34", "13"};
        QCOMPARE(compose(marked).display,
                 std::string("select * from T where title like '%x%' and ( roomid = 111 or roomid "
                             "= 12)"));
        QCOMPARE(textsOf(compose(marked)), (std::vector<std::string> {"'%x%'", "111", "12"}));
        QCOMPARE(RoomIdWithoutMarker("*12"), std::string("*12"));
        // A room id that is no number is bound as text, an empty one as NULL.
        marked.subRoomIds = {"a'b", "", "13"};
        QCOMPARE(textsOf(compose(marked)), (std::vector<std::string> {"'%x%'", "'a'b'", "NULL"}));
    }

    void searchTextsAreBound()
    {
        FindQueryInput input = exampleInput(0, true);
        input.text = "it's";
        BoundStatement statement = compose(input);
        QCOMPARE(statement.display, std::string("select * from T where title like '%it''s%'"));
        QCOMPARE(textsOf(statement), std::vector<std::string> {"'%it's%'"});
        // "%" stays a wildcard; "_" and "\" match themselves, but not the trail bytes
        // 0x5F and 0x5C of 乢 and 乗.
        input.text = gbk("a%b_乢乗\\");
        QCOMPARE(compose(input).values.at(0).text, "%" + gbk("a%b\\_乢乗\\\\") + "%");
        QCOMPARE(EscapeLikeText(gbk("乢")), gbk("乢"));
        QCOMPARE(DoubleApostrophes(gbk("乗'")), gbk("乗''"));
        // The post ID is compared as text, so 123 also finds 1234 and 51230.
        input.text = "123";
        input.byTopicId = true;
        statement = compose(input);
        QCOMPARE(statement.display, std::string("select * from T where topicid like '%123%'"));
        QCOMPARE(statement.sql,
                 std::string("select * from T where cast(topicid as text) like ? escape '\\'"));
        // An empty text matches every row, NULL titles too: no condition at all.
        input.text.clear();
        input.byTopicId = false;
        statement = compose(input);
        QCOMPARE(statement.display, std::string("select * from T where title like '%%'"));
        QCOMPARE(statement.sql, std::string("select * from T where 1 = 1"));
        QVERIFY(statement.values.empty());
        // A table name cannot be bound: only plain names are composed.
        input.table = "T; drop table T";
        QVERIFY(compose(input).display.starts_with("failed: "));
    }

    void titleIndexAnswersLongWordsOnly()
    {
        QCOMPARE(TitleIndexMatch("ab"), std::string());
        QCOMPARE(TitleIndexMatch(gbk("中文")), std::string());
        QCOMPARE(TitleIndexMatch("abc"), std::string("\"abc\""));
        QCOMPARE(TitleIndexMatch(gbk("ab%cde%长长长%")), gbk("\"cde\" AND \"长长长\""));
        QCOMPARE(TitleIndexMatch("a\"b_c"), std::string("\"a\"\"b_c\""));
        // The index narrows the rows down; the LIKE still decides.
        FindQueryInput input = exampleInput(1, false);
        input.text = gbk("x%乢乗乗");
        BoundStatement statement;
        std::string problem;
        QVERIFY(ComposeFindQuery(input, SqlDialect::SQLite, statement, problem, true));
        QCOMPARE(statement.sql,
                 std::string("select * from T where topicid in (select rowid from T_title_trigram "
                             "where T_title_trigram match ?) and title like ? escape '\\' and ( "
                             "roomid = ?)"));
        QCOMPARE(textsOf(statement),
                 (std::vector<std::string> {"'" + gbk("\"乢乗乗\"") + "'",
                                            "'%" + gbk("x%乢乗乗") + "%'", "11"}));
        QCOMPARE(statement.display, compose(input).display);
        input.text = "ab";
        QVERIFY(ComposeFindQuery(input, SqlDialect::SQLite, statement, problem, true));
        QCOMPARE(statement.sql, compose(input).sql);
        input.text = "abcd";
        QVERIFY(ComposeFindQuery(input, SqlDialect::PostgreSQL, statement, problem, true));
        QCOMPARE(statement.sql, compose(input, SqlDialect::PostgreSQL).sql);
    }

    void deleteAndMoveStatements()
    {
        BoundStatement statement;
        std::string problem;
        QVERIFY(ComposeDeleteStatement("T", {"11", "12"}, statement, problem));
        QCOMPARE(statement.display,
                 std::string("delete from T where  topicid = 11 or topicid = 12"));
        QCOMPARE(statement.sql, std::string("delete from T where  topicid = ? or topicid = ?"));
        QCOMPARE(textsOf(statement), (std::vector<std::string> {"11", "12"}));
        QVERIFY(ComposeDeleteStatement("T", {"7"}, statement, problem));
        QCOMPARE(statement.display, std::string("delete from T where  topicid = 7"));

        QVERIFY(ComposeMoveStatement("T", "5", {"11", "12"}, statement, problem));
        QCOMPARE(statement.display,
                 std::string("update T set roomid = 5 where  topicid = 11 or topicid = 12"));
        QCOMPARE(statement.sql,
                 std::string("update T set roomid = ? where  topicid = ? or topicid = ?"));
        QCOMPARE(textsOf(statement), (std::vector<std::string> {"5", "11", "12"}));
        QVERIFY(ComposeMoveStatement("T", "111*", {"11"}, statement, problem));
        QCOMPARE(statement.display, std::string("update T set roomid = 111 where  topicid = 11"));

        // Nothing is composed from a topicid that is not integer text.
        for (const char *bad : {"12a", "", "1 or 1=1", "0x10", "99999999999999999999"}) {
            problem.clear();
            QVERIFY2(!ComposeDeleteStatement("T", {"1", bad}, statement, problem), bad);
            QVERIFY(!problem.empty());
        }
        QVERIFY(!ComposeMoveStatement("T", "", {"1"}, statement, problem));
        QVERIFY(!ComposeMoveStatement("T x", "5", {"1"}, statement, problem));
        QVERIFY(!ComposeDeleteStatement("T", {}, statement, problem));
    }

    void onlyIdsThePathLookUpHoldsHaveFiles()
    {
        QCOMPARE(PostFileTopicId("0"), std::optional<std::uint32_t>(0));
        QCOMPARE(PostFileTopicId("4294967295"), std::optional<std::uint32_t>(4294967295u));
        QCOMPARE(PostFileTopicId("010"), std::optional<std::uint32_t>(10)); // never octal
        for (const char *other : {"4294967296", "5000000000", "-1", "-4294967295", "", "0x10",
                                  "1e3", "+5", "99999999999999999999"})
            QVERIFY2(!PostFileTopicId(other), other);
    }

    void postFilesDeletedAndMoved()
    {
        TempAppDir dir;
        dir.write("a/1.htm", "one");
        dir.write("a/2.htm", "two");
        dir.write("a/3.htm", "three");
        FileSystem::setReadOnly(dir.file("a/3.htm"));
        // Missing, read-only and empty paths are skipped; each path is deleted once.
        QCOMPARE(DeletePostFiles({dir.file("a/1.htm"), dir.file("a/missing.htm"),
                                  dir.file("a/3.htm"), "", dir.file("a/2.htm"),
                                  dir.file("a/2.htm")}),
                 2);
        QVERIFY(FileSystem::exists(dir.file("a/3.htm")));
        QVERIFY(!FileSystem::exists(dir.file("a/1.htm")));

        dir.write("r1/10.htm", "ten");
        dir.write("r1/11.htm", "eleven");
        dir.write("r2/11.htm", "other");
        dir.write("r1/12.htm", "twelve");
        const std::vector<PostFileMoveFailure> failures = MovePostFiles({
                {dir.file("r1/10.htm"), dir.file("r9/deep/10.htm")}, // folders are made
                {dir.file("r1/11.htm"), dir.file("r2/11.htm")}, // never replaces
                {dir.file("r1/12.htm"), dir.file("r1/12.htm")}, // same place: nothing moves
                {dir.file("r1/13.htm"), dir.file("r2/13.htm")}, // no file: nothing to move
        });
        QCOMPARE(dir.read("r9/deep/10.htm"), std::string("ten"));
        QVERIFY(!FileSystem::exists(dir.file("r1/10.htm")));
        QCOMPARE(failures.size(), std::size_t(1));
        QCOMPARE(failures[0].move.from, dir.file("r1/11.htm"));
        QCOMPARE(dir.read("r2/11.htm"), std::string("other"));
        QCOMPARE(dir.read("r1/11.htm"), std::string("eleven"));
        QCOMPARE(dir.read("r1/12.htm"), std::string("twelve"));
    }
};

QUILLERY_REGISTER_TEST(TestPostStatements)
#include "tst_PostStatements.moc"
