#include "TestRegistry.h"
#include "TestSupport.h"

#include "common/Codec.h"
#include "common/ExtractBetween.h"

namespace {

std::string valueOf(std::string_view text, std::string_view start, std::string_view end)
{
    const auto span = ExtractBetween(text, start, end);
    return span ? std::string(text.substr(span->begin, span->end - span->begin)) : "<none>";
}

} // namespace

class TestExtractBetween : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void findsTheFirstStartAndTheEndAfterIt()
    {
        QCOMPARE(valueOf("<t>a</t><t>b</t>", "<t>", "</t>"), std::string("a"));
        // The end marker is only searched after the start marker.
        QCOMPARE(valueOf("\"x name=\"room\"", "name=\"", "\""), std::string("room"));
        // A second start marker before the only end marker stays inside the value.
        QCOMPARE(valueOf("<t>a<t>b</t>", "<t>", "</t>"), std::string("a<t>b"));
        QCOMPARE(valueOf("<t> a \r\n</t>", "<t>", "</t>"), std::string(" a \r\n"));
    }

    void emptyAndMissingMarkers()
    {
        QCOMPARE(valueOf("abc</t>", "", "</t>"), std::string("abc"));
        QCOMPARE(valueOf("<t>abc", "<t>", ""), std::string());
        QCOMPARE(valueOf("abc", "<t>", "</t>"), std::string("<none>"));
        QCOMPARE(valueOf("<t>abc", "<t>", "</t>"), std::string("<none>"));
        QCOMPARE(valueOf("", "", ""), std::string());
    }

    void neverMatchesInsideADoubleByteCharacter()
    {
        // 乢 is 0x81 0x5F and 丄 is 0x81 0x41: their trail bytes must not start a match.
        const std::string text = gbk("乢_x_");
        QCOMPARE(valueOf(text, "_", "_"), std::string("x"));
        const std::string upper = gbk("丄A1B");
        QCOMPARE(valueOf(upper, "A", "B"), std::string("1"));
        // A marker that only occurs across a character boundary is not found.
        QCOMPARE(valueOf(gbk("乢"), "_", ""), std::string("<none>"));
    }

    void digitsOnly()
    {
        QVERIFY(IsAllDigits(""));
        QVERIFY(IsAllDigits("00123"));
        QVERIFY(!IsAllDigits("123a"));
        QVERIFY(!IsAllDigits("12.34"));
        QVERIFY(!IsAllDigits(" 1"));
    }
};

QUILLERY_REGISTER_TEST(TestExtractBetween)
#include "tst_ExtractBetween.moc"
