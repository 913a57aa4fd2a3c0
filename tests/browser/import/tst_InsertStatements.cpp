#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/import/InsertStatements.h"

namespace {

PostFields post(const std::string &topicid, const std::string &title, const std::string &roomid)
{
    PostFields fields;
    fields.topicid = topicid;
    fields.title = title;
    fields.roomid = roomid;
    return fields;
}

} // namespace

class TestInsertStatements : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void theWorkedExample()
    {
        PostFields fields = post("123", "It's", "15");
        fields.reply = "7";
        BoundStatement statement;
        QVERIFY(InsertStatement("post_other", fields, true, statement));
        QCOMPARE(statement.display,
                 std::string("insert into post_other(topicid,title,roomid,reply) "
                             "values(123,'It''s',15,7)"));
        QCOMPARE(statement.sql,
                 std::string("insert into post_other(topicid,title,roomid,reply) values(?,?,?,?)"));
        QCOMPARE(statement.values,
                 (std::vector<SqlValue> {SqlValue::fromInteger(123), SqlValue::fromText("It's"),
                                         SqlValue::fromInteger(15), SqlValue::fromInteger(7)}));
    }

    void optionalColumnsInTheirOrderAndTextRoomids()
    {
        PostFields fields = post("00123", "t", "O'15");
        fields.username = "o'neil";
        fields.createtime = "2001-01-01 '1'";
        fields.reply = " 7 ";
        BoundStatement statement;
        QVERIFY(InsertStatement("t", fields, false, statement));
        QCOMPARE(statement.display,
                 std::string("insert into t(topicid,title,roomid,username,createtime,reply) "
                             "values(00123,'t','O''15','o''neil','2001-01-01 '1'', 7 )"));
        QCOMPARE(statement.values[0], SqlValue::fromInteger(123));
        QCOMPARE(statement.values[2], SqlValue::fromText("O'15"));
        QCOMPARE(statement.values[4], SqlValue::fromText("2001-01-01 '1'"));
        QCOMPARE(statement.values[5], SqlValue::fromInteger(7));
    }

    void integerColumnsTakeIntegersOnly()
    {
        BoundStatement statement;
        QVERIFY(!InsertStatement("t", post("", "t", "1"), true, statement));
        QCOMPARE(statement.display,
                 std::string("insert into t(topicid,title,roomid) values(,'t',1)"));
        QVERIFY(!InsertStatement("t", post("1", "t", "1 or 1=1"), true, statement));
        PostFields reply = post("1", "t", "1");
        reply.reply = "(select 1)";
        QVERIFY(!InsertStatement("t", reply, true, statement));
        QVERIFY(InsertStatement("t", post("1", "t", "1 or 1=1"), false, statement));

        long long value = 0;
        QVERIFY(ParseIntegerText(" -12 ", value) && value == -12);
        QVERIFY(ParseIntegerText("+9223372036854775807", value) && value == 9223372036854775807);
        QVERIFY(ParseIntegerText("-9223372036854775808", value) && value < 0);
        for (const char *bad : {"", " ", "-", "9223372036854775808", "1e3", "0x10", "1 2", "12a"})
            QVERIFY2(!ParseIntegerText(bad, value), bad);
    }

    void duplicateChecksWithTheirSpacing()
    {
        const PostFields fields = post("123", "x'y", "1");
        const BoundStatement both = DuplicateCheckStatement("p", fields, true, true);
        QCOMPARE(both.display,
                 std::string("select 1 from p where  topicid = 123  or  title = 'x''y'"));
        QCOMPARE(both.sql, std::string("select 1 from p where  topicid = ?  or  title = ?"));
        QCOMPARE(both.values,
                 (std::vector<SqlValue> {SqlValue::fromInteger(123), SqlValue::fromText("x'y")}));
        QCOMPARE(DuplicateCheckStatement("p", fields, true, false).display,
                 std::string("select 1 from p where  topicid = 123 "));
        QCOMPARE(DuplicateCheckStatement("p", fields, false, true).display,
                 std::string("select 1 from p where  title = 'x''y'"));
    }
};

QUILLERY_REGISTER_TEST(TestInsertStatements)
#include "tst_InsertStatements.moc"
