#pragma once

// The tokenizer cases that both engines must agree on: a post page (UTF-8 here, GBK on
// its way in), its normalised text, and its index terms in order.

#include <string>

namespace SearchTest {

struct TokenizerCase
{
    const char *name;
    const char *page;
    const char *normal;
    const char *terms;
};

inline const TokenizerCase TokenizerCases[] = {
        {"cjk run", "数据库", " 数据库 ", "数据 据库 库"},
        {"words lower-cased", "<p>Hello, World!</p>", " hello world ", "hello world"},
        {"one character", "我", " 我 ", "我"},
        {"word against cjk", "C++和Java", " c 和 java ", "c 和 java"},
        {"full width", "ＡＢＣ１２３", " abc123 ", "abc123"},
        {"runs apart", "内存。存储", " 内存 存储 ", "内存 存 存储 储"},
        {"underscore in words", "foo_bar-baz", " foo_bar baz ", "foo_bar baz"},
        {"entities", "&lt;b&gt;粗体&amp;&#x4E2D;&#25991;", " b 粗体 中文 ", "b 粗体 体 中文 文"},
        {"hidden parts", "<script>var a='隐藏';</script><style>p{}</style><!-- 注释 -->可见",
         " 可见 ", "可见 见"},
        {"half-width kana", "&#xFF76;&#xFF80;&#xFF76;&#xFF85;", " カタカナ ", "カタ タカ カナ ナ"},
        {"inline and block tags", "数<b>据</b>库<br>表", " 数据库 表 ", "数据 据库 库 表"},
        {"roman numeral", "Ⅻ世纪", " xii 世纪 ", "xii 世纪 纪"},
        {"combining mark", "e&#x301;t&#xE9;", " été ", "été"},
        {"outside GBK", "&#x1F600;你好&#x1F600;", " 你好 ", "你好 好"},
        {"cdata holds markup", "<![CDATA[<p>段落</p>]]>", " 段落 ", "段落 落"},
        {"greek", "ΣΑΣ", " σασ ", "σασ"},
        {"apostrophe", "don't", " don t ", "don t"},
        {"long word", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaabbbbbb",
         " aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa ·bbbbbb ",
         "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa ·bbbbbb"},
        {"nothing searchable", "<p>，。！</p>", "", ""},
};

} // namespace SearchTest
