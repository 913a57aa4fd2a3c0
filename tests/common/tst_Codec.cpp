#include "TestRegistry.h"
#include "TestSupport.h"

#include "common/Codec.h"

class TestCodec : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void roundTripsChineseThroughQStringAndUtf8()
    {
        const std::string text = gbk("中文标题 ABC");
        QCOMPARE(text.size(), std::size_t(12));
        QCOMPARE(Gbk::toQString(text), QString::fromUtf8("中文标题 ABC"));
        QCOMPARE(Gbk::fromQString(Gbk::toQString(text)), text);
        QCOMPARE(Gbk::toUtf8(text), std::string("中文标题 ABC"));
        QCOMPARE(Gbk::fromUtf8(Gbk::toUtf8(text)), text);
    }

    void unmappableCharactersBecomeQuestionMarks()
    {
        // An emoji has no GBK code; it must not vanish.
        QCOMPARE(Gbk::fromUtf8("a😀b"), std::string("a?b"));
    }

    void stepsOverDoubleByteCharacters()
    {
        const std::string text = gbk("A中") + "\x81";
        QCOMPARE(Gbk::charLength(text, 0), std::size_t(1));
        QCOMPARE(Gbk::charLength(text, 1), std::size_t(2));
        // A lead byte at the very end stands alone.
        QCOMPARE(Gbk::charLength(text, 3), std::size_t(1));
        QCOMPARE(std::string(Gbk::prefixWithinBytes(gbk("中文"), 3)), gbk("中"));
        std::string cut = gbk("ab中");
        Gbk::dropLastChar(cut);
        QCOMPARE(cut, std::string("ab"));
    }

    void lowerCasesAsciiAndFullWidthLetters()
    {
        QCOMPARE(Gbk::toLower("HeLLo"), std::string("hello"));
        QCOMPARE(Gbk::toLower(gbk("ＡＢＣ")), gbk("ａｂｃ"));
        QCOMPARE(Gbk::toLower(gbk("ΑΒΓ")), gbk("αβγ"));
        QCOMPARE(Gbk::toLower(gbk("АБВ")), gbk("абв"));
        QCOMPARE(Gbk::toLower(gbk("ⅠⅡ")), gbk("ⅰⅱ"));
        QCOMPARE(Gbk::toLower(gbk("中文Ｘ")), gbk("中文ｘ"));
        // Every ASCII byte, at every offset from a run of eight, and a character whose
        // trail byte is a letter right after such a run.
        std::string ascii, expected;
        for (int c = 0; c < 128; ++c) {
            ascii += char(c);
            expected += char(c >= 'A' && c <= 'Z' ? c + 32 : c);
        }
        for (std::size_t shift = 0; shift < 8; ++shift) {
            const std::string pad(shift, 'Q');
            QCOMPARE(Gbk::toLower(pad + ascii + "\x81\x41" + ascii),
                     std::string(shift, 'q') + expected + "\x81\x41" + expected);
        }
    }

    void lowerCasingKeepsTrailBytesAndLengths()
    {
        // 0x81 0x41 is one character whose trail byte is the letter A: it is not a letter.
        const std::string text = std::string("\x81\x41Z\x81\x5A", 5);
        const std::string lower = Gbk::toLower(text);
        QCOMPARE(lower, std::string("\x81\x41z\x81\x5A", 5));
        QCOMPARE(lower.size(), text.size());
    }

    void recognisesValidUtf8()
    {
        QVERIFY(Gbk::isValidUtf8("plain"));
        QVERIFY(Gbk::isValidUtf8("中文"));
        QVERIFY(!Gbk::isValidUtf8(gbk("中文")));
        QVERIFY(!Gbk::isValidUtf8("\xC0\x80")); // overlong
        QVERIFY(!Gbk::isValidUtf8("\xED\xA0\x80")); // surrogate
        QVERIFY(!Gbk::isValidUtf8("\xE4\xB8")); // cut short
    }
};

QUILLERY_REGISTER_TEST(TestCodec)
#include "tst_Codec.moc"
