#include "SearchTestHelpers.h"
#include "TestRegistry.h"
#include "TokenizerCases.h"

#include "browser/search/BodyTokens.h"
#include "browser/search/PostDecoding.h"
#include "browser/search/PostText.h"

#include <QTest>

class TestPostText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tokenizerCases_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(std::size(SearchTest::TokenizerCases)); ++i)
            QTest::newRow(SearchTest::TokenizerCases[i].name) << i;
    }

    void tokenizerCases()
    {
        QFETCH(int, index);
        const SearchTest::TokenizerCase &c = SearchTest::TokenizerCases[index];
        const PostText text = ExtractPostText(gbk(c.page));
        QCOMPARE(show(text.text), show(gbk(c.normal)));
        BodyTokens::IndexTokens tokens;
        BodyTokens::MakeIndexTokens(text.text, tokens);
        QCOMPARE(show(tokens.positional), show(gbk(c.terms)));
    }

    void distinctCharacters()
    {
        BodyTokens::IndexTokens tokens;
        BodyTokens::MakeIndexTokens(ExtractPostText(gbk("数据 据库 abc 数")).text, tokens);
        // Sorted by GBK code, each once.
        QCOMPARE(show(tokens.characters), QString::fromUtf8("据 库 数"));
        const std::vector<std::string> terms = BodyTokens::TermSet(gbk(" 数据 据库 abc 数 "));
        QCOMPARE(terms.size(), std::size_t(6)); // 数据 据 据库 库 abc 数
    }

    // The bytes decide the encoding before a declaration does; a binary file gives only
    // its printable runs.
    void encodings()
    {
        bool binary = false;
        QCOMPARE(BodyText::SniffPostCharset("<p>plain</p>", binary), std::string("GBK"));
        QCOMPARE(BodyText::SniffPostCharset("<meta charset=utf-8><p>\xe4\xb8\xad</p>", binary),
                 std::string("UTF-8"));
        // Declared UTF-8 over GBK bytes: read as GBK.
        const std::string misdeclared = "<meta charset=\"utf-8\">" + gbk("中文");
        QCOMPARE(show(ExtractPostText(misdeclared).text), QString::fromUtf8(" 中文 "));
        // UTF-8 without a declaration.
        QCOMPARE(show(ExtractPostText("<p>\xe6\x90\x9c\xe7\xb4\xa2</p>").text),
                 QString::fromUtf8(" 搜索 "));
        // Big5 as declared.
        const std::string big5 = "<meta http-equiv=\"Content-Type\" content=\"text/html; "
                                 "charset=big5\"><p>\xa4\xa4\xa4\xe5</p>";
        const PostText b = ExtractPostText(big5);
        QCOMPARE(b.charset, std::string("big5"));
        QCOMPARE(show(b.text), QString::fromUtf8(" 中文 "));
        // UTF-16 with its byte order mark.
        const std::string utf16("\xff\xfe\x2d\x4e\x87\x65", 6);
        QCOMPARE(show(ExtractPostText(utf16).text), QString::fromUtf8(" 中文 "));
        // Binary: NUL bytes near the start.
        static const char raw[] = "\x00\x01\x02hello world\x00zz\x00\xff\xfe"
                                  "abcd";
        const std::string blob(raw, sizeof raw - 1);
        const PostText bin = ExtractPostText(blob);
        QVERIFY(bin.binary);
        QCOMPARE(show(bin.text), QString::fromUtf8(" hello world abcd "));
    }

    // Pages that are not well formed still give the text a browser would show.
    void brokenMarkup()
    {
        struct Case
        {
            const char *page;
            const char *normal;
        } cases[] = {
                {"1 < 2 并且 3>2", " 1 2 并且 3 2 "},
                {"<p title=\"a>b\">标题</p>", " 标题 "},
                {"前<!-- 没有结束的注释 后", " 前 "},
                {"<div><span>未闭合", " 未闭合 "},
                {"&unknown; &amp &#xZZ; &#99999999;", " unknown xzz "},
                {"<scr<script>ipt>隐藏</script>可见", " ipt 隐藏 可见 "},
                {"<", " "},
                {"]]> 文本", " 文本 "},
        };
        for (const Case &c : cases) {
            const std::string expected = std::string(c.normal) == " " ? "" : gbk(c.normal);
            QCOMPARE(show(ExtractPostText(gbk(c.page)).text), show(expected));
        }
    }

    // The normalised text stops before an element that would pass the bound, so no
    // word is cut in two.
    void boundOfOnePost()
    {
        std::string page;
        for (std::size_t i = 0; i < BodyText::MaxIndexedChars / 6 + 10; ++i)
            page += "abcde ";
        const PostText text = ExtractPostText(page);
        QVERIFY(text.truncated);
        QVERIFY(text.text.size() <= BodyText::MaxIndexedChars);
        QVERIFY(text.text.ends_with(" abcde "));
    }
};

QUILLERY_REGISTER_TEST(TestPostText)
#include "tst_PostText.moc"
