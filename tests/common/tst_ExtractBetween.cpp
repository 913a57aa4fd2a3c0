#include "TestRegistry.h"
#include "TestSupport.h"

#include "common/Codec.h"
#include "common/ExtractBetween.h"

#include <cstdint>
#include <optional>

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

    // The boundary test looks back from a match instead of walking from the start: both
    // must agree on any bytes, pairs with any second byte included.
    void agreesWithAWalkFromTheStart()
    {
        const char alphabet[] = {'\x81', '\xB0', '_', 'A', '<', '\xFE', '\x40'};
        std::uint32_t seed = 12345;
        const auto next = [&seed] {
            seed = seed * 1103515245u + 12345u;
            return seed >> 16;
        };
        const auto reference = [](std::string_view text, std::string_view needle,
                                  std::size_t from) -> std::optional<std::size_t> {
            for (std::size_t pos = from; pos <= text.size(); pos += Gbk::charLength(text, pos)) {
                if (text.substr(pos, needle.size()) == needle)
                    return pos;
                if (pos == text.size())
                    break;
            }
            return std::nullopt;
        };
        for (int round = 0; round < 20000; ++round) {
            std::string text, start, end;
            for (std::size_t i = next() % 24; i > 0; --i)
                text += alphabet[next() % sizeof alphabet];
            for (std::size_t i = 1 + next() % 2; i > 0; --i)
                start += alphabet[next() % sizeof alphabet];
            for (std::size_t i = next() % 3; i > 0; --i)
                end += alphabet[next() % sizeof alphabet];
            std::optional<MarkerSpan> expected;
            if (const auto s = reference(text, start, 0)) {
                if (const auto e = reference(text, end, *s + start.size()))
                    expected = MarkerSpan {*s + start.size(), *e};
            }
            const auto actual = ExtractBetween(text, start, end);
            QCOMPARE(bool(actual), bool(expected));
            if (actual) {
                QCOMPARE(actual->begin, expected->begin);
                QCOMPARE(actual->end, expected->end);
            }
        }
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
