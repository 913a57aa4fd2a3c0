#pragma once

// Shared pieces of the body search tests: the brute-force reference the index must
// equal, and a generated corpus of GBK post pages.

#include "TestSupport.h"

#include "browser/search/BodyTokens.h"
#include "browser/search/SearchQuery.h"

#include <QRandomGenerator>

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace SearchTest {

// Whether a term matches a normalised text, read from the definition rather than from
// the index's encoding: the term's elements must stand in consecutive elements of the
// text, whole, except that a CJK run may be the end of the first element and the start
// of the last (anywhere inside the element when it is both).
inline bool termMatches(const std::vector<std::string_view> &text, const SearchTerm &term)
{
    const std::size_t m = term.elements.size();
    if (m == 0 || text.size() < m)
        return false;
    for (std::size_t i = 0; i + m <= text.size(); ++i) {
        bool all = true;
        for (std::size_t j = 0; j < m && all; ++j) {
            const std::string_view have = text[i + j];
            const std::string &want = term.elements[j];
            if (!BodyTokens::IsCjkElement(want) || !BodyTokens::IsCjkElement(have)) {
                all = have == want;
                continue;
            }
            // CJK: compare character by character (two bytes each).
            const bool first = j == 0;
            const bool last = j + 1 == m;
            if (first && last)
                all = [&] {
                    for (std::size_t at = 0; at + want.size() <= have.size(); at += 2)
                        if (have.substr(at, want.size()) == want)
                            return true;
                    return false;
                }();
            else if (first)
                all = have.size() >= want.size() && have.ends_with(want);
            else if (last)
                all = have.starts_with(want);
            else
                all = have == want;
        }
        if (all)
            return true;
    }
    return false;
}

inline bool queryMatches(std::string_view normal, const SearchQuery &query)
{
    const std::vector<std::string_view> elements = BodyTokens::Elements(normal);
    for (const SearchTerm &term : query.terms) {
        if (termMatches(elements, term) == term.excluded)
            return false;
    }
    return true;
}

// A small frequency list: common words first, so common pairs are common.
inline const std::vector<const char *> &words()
{
    static const std::vector<const char *> list = {
            "的",   "了",   "是",     "我",     "在",       "有",   "不",      "这",   "人",
            "们",   "我们", "一个",   "没有",   "什么",     "问题", "可以",    "数据", "内存",
            "程序", "文件", "数据库", "服务器", "内存泄漏", "函数", "编译",    "错误", "系统",
            "时候", "已经", "因为",   "所以",   "如果",     "但是", "还是",    "线程", "指针",
            "对象", "结构", "测试",   "索引",   "查询",     "性能", "版本",    "更新", "论坛",
            "帖子", "回复", "楼主",   "谢谢",   "请问",     "大家", "知道",    "觉得", "发现",
            "乗",   "癨",   "中文",   "汉字",   "字符",     "编码", "全文检索"};
    return list;
}

inline const std::vector<const char *> &englishWords()
{
    static const std::vector<const char *> list = {
            "malloc", "free",   "QString", "size_t", "error",  "segfault", "linux",
            "return", "buffer", "printf",  "std",    "vector", "http",     "json"};
    return list;
}

// A post page in GBK: paragraphs of words drawn with falling weights, punctuation,
// English words and a little markup.
inline std::string makePost(QRandomGenerator &random, int words)
{
    static const char *const punctuation[] = {"，", "。", "、", "！", "？", " ", "；"};
    std::string body = "<html><head><meta charset=\"gb2312\"><title>t</title>"
                       "<style>.x{color:red}</style></head><body><div class=\"post\">";
    const auto &list = SearchTest::words();
    for (int i = 0; i < words; ++i) {
        const double r = random.generateDouble();
        const std::size_t pick = std::size_t(r * r * r * double(list.size()));
        const int kind = int(random.bounded(20));
        if (kind == 0) {
            const auto &en = englishWords();
            body += " " + std::string(en[random.bounded(int(en.size()))]) + " ";
        } else if (kind == 1) {
            body += gbk(punctuation[random.bounded(7)]);
        } else if (kind == 2) {
            body += "</p><p>";
        } else if (kind == 3) {
            body += "&nbsp;";
        } else {
            body += gbk(list[pick]);
        }
    }
    body += "</div><script>var hidden = '不可见';</script><!-- 注释 --></body></html>";
    return body;
}

} // namespace SearchTest
