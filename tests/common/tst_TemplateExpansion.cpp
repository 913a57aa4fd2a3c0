#include "TestRegistry.h"
#include "TestSupport.h"

#include "common/IdPlaceholder.h"
#include "common/ResultCodes.h"
#include "common/TemplateExpansion.h"

namespace {

struct Calls
{
    std::vector<std::string> placeholders;
    std::vector<std::int32_t> kinds;
};

// Knows |X| and |NAME|; |FAIL| fails; everything else is unknown.
int testResolver(void *context, std::int32_t kind, const std::string &placeholder,
                 std::string &value)
{
    auto *calls = static_cast<Calls *>(context);
    calls->placeholders.push_back(placeholder);
    calls->kinds.push_back(kind);
    if (!value.empty())
        return 99; // the value text must arrive empty
    if (placeholder == "|X|") {
        value = "<x>";
        return PlaceholderResolved;
    }
    if (placeholder == "|NAME|") {
        value = "name";
        return PlaceholderResolved;
    }
    if (placeholder == "|FAIL|")
        return 7;
    return PlaceholderUnknown;
}

} // namespace

class TestTemplateExpansion : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void expands_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<int>("status");
        QTest::newRow("empty") << QByteArray("") << QByteArray("") << 0;
        QTest::newRow("plain") << QByteArray("abc") << QByteArray("abc") << 0;
        QTest::newRow("escaped bar") << QByteArray("a||b") << QByteArray("a|b") << 0;
        QTest::newRow("escaped bar at end") << QByteArray("a||") << QByteArray("a|") << 0;
        QTest::newRow("escape then placeholder") << QByteArray("|||X|") << QByteArray("|<x>") << 0;
        QTest::newRow("placeholder") << QByteArray("a|X|b|NAME|") << QByteArray("a<x>bname") << 0;
        QTest::newRow("unknown dropped") << QByteArray("a|Q|b") << QByteArray("ab") << 0;
        QTest::newRow("unclosed") << QByteArray("ab|CD") << QByteArray("ab") << 1;
        QTest::newRow("lone bar at end") << QByteArray("ab|") << QByteArray("ab") << 1;
        QTest::newRow("empty name") << QByteArray("a||X|") << QByteArray("a|X") << 1;
        QTest::newRow("resolver failure keeps text before")
                << QByteArray("a|X|b|FAIL|c|X|") << QByteArray("a<x>b") << 31;
        // 0x81 0x7C is one GBK character whose trail byte is a bar: it still counts.
        QTest::newRow("bar as trail byte") << QByteArray("\x81|X|") << QByteArray("\x81<x>") << 0;
        QTest::newRow("names are case-sensitive") << QByteArray("|x|") << QByteArray("") << 0;
    }

    void expands()
    {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, expected);
        QFETCH(int, status);
        Calls calls;
        std::string out = "old";
        QCOMPARE(ExpandTemplate(input.constData(), out, &calls, 42, testResolver), status);
        QCOMPARE(QByteArray::fromStdString(out), expected);
        for (std::int32_t kind : calls.kinds)
            QCOMPARE(kind, 42);
    }

    void handsPlaceholderWithBarsToResolver()
    {
        Calls calls;
        std::string out;
        ExpandTemplate("|X|-|other name|", out, &calls, 1, testResolver);
        QCOMPARE(calls.placeholders, (std::vector<std::string> {"|X|", "|other name|"}));
    }

    void nullTemplateLeavesOutputUntouched()
    {
        std::string out = "kept";
        Calls calls;
        QCOMPARE(ExpandTemplate(static_cast<const char *>(nullptr), out, &calls, 1, testResolver),
                 int(ResultCode::MissingArgument));
        QCOMPARE(out, std::string("kept"));
        QVERIFY(calls.placeholders.empty());
    }

    void idPlaceholderCounts_data()
    {
        QTest::addColumn<QByteArray>("placeholder");
        QTest::addColumn<bool>("isId");
        QTest::addColumn<qlonglong>("count");
        QTest::newRow("ID") << QByteArray("|ID|") << true << 0LL;
        QTest::newRow("ID4") << QByteArray("|ID4|") << true << 4LL;
        QTest::newRow("ID-3") << QByteArray("|ID-3|") << true << -3LL;
        QTest::newRow("ID +2") << QByteArray("|ID +2|") << true << 2LL;
        QTest::newRow("ID\t-1x") << QByteArray("|ID\t-1x|") << true << -1LL;
        QTest::newRow("IDENT") << QByteArray("|IDENT|") << true << 0LL;
        QTest::newRow("huge") << QByteArray("|ID99999999999999999999999|") << true << 0LL;
        QTest::newRow("lower case") << QByteArray("|id|") << false << 0LL;
        QTest::newRow("ROOMID") << QByteArray("|ROOMID|") << false << 0LL;
    }

    void idPlaceholderCounts()
    {
        QFETCH(QByteArray, placeholder);
        QFETCH(bool, isId);
        QFETCH(qlonglong, count);
        QCOMPARE(IsIdPlaceholder(placeholder.toStdString()), isId);
        if (isId && QTest::currentDataTag() != QByteArray("huge"))
            QCOMPARE(IdPlaceholderCount(placeholder.toStdString()), count);
        if (QTest::currentDataTag() == QByteArray("huge"))
            QVERIFY(IdPlaceholderCount(placeholder.toStdString()) > 1000000);
    }

    void idPlaceholderValues()
    {
        QCOMPARE(IdPlaceholderValue("12345", 0), std::string("12345"));
        QCOMPARE(IdPlaceholderValue("12345", 2), std::string("12"));
        QCOMPARE(IdPlaceholderValue("12345", -2), std::string("45"));
        QCOMPARE(IdPlaceholderValue("12345", 9), std::string("12345"));
        QCOMPARE(IdPlaceholderValue("12345", -9), std::string("12345"));
        QCOMPARE(IdPlaceholderValue("12345", 5), std::string("12345"));
        QCOMPARE(IdPlaceholderValue("12345", -5), std::string("12345"));
    }
};

QUILLERY_REGISTER_TEST(TestTemplateExpansion)
#include "tst_TemplateExpansion.moc"
