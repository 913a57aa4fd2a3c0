#pragma once

// The body search's own texts (UTF-8; Gbk::literal gives their GBK bytes). %1, %2 are
// filled in by the caller.

namespace SearchTexts {

inline constexpr const char FileOpenFailed[] = "无法打开帖子文件: %1 (%2)";
inline constexpr const char FileReadFailed[] = "读取帖子文件出错: %1 (%2)";
inline constexpr const char NotRegularFile[] = "不是普通文件, 无法建立正文索引: %1";

inline constexpr const char QueryEmpty[] = "请输入要查找的内容。";
inline constexpr const char QueryOnlyPunctuation[] =
        "查找内容只有标点或符号, 无法查找: 请输入文字、字母或数字。";
inline constexpr const char QueryUnbalancedQuote[] =
        "查找内容中的引号没有配对: 用一对双引号 \"...\" 括住要连续出现的词句。";
inline constexpr const char QueryOnlyExclusions[] =
        "查找内容只有排除的词 (-词): 请至少给出一个要查找的词。";

inline constexpr const char IndexMissing[] = "表 %1 还没有正文索引: 请先建立正文索引。";
inline constexpr const char IndexOtherVersion[] =
        "表 %1 的正文索引是用另一版本的分词规则 (版本 %2) 建立的, 本程序使用版本 %3: "
        "请重建正文索引后再查找。";
inline constexpr const char NotPlainTable[] = "表名不是简单的标识符, 无法使用: %1";
inline constexpr const char IndexDataBroken[] =
        "表 %1 的正文索引数据已损坏 (%2), 无法使用: 请重建该表的正文索引。";

} // namespace SearchTexts
