#pragma once

// The texts of the gap scan, as UTF-8 literals.
namespace GapText {
inline constexpr const char BadTable[] = "“%1” 不是可用的帖子表名(只能有英文字母、数字和 _)";
inline constexpr const char OpenFailed[] = "无法打开数据库: %1";
inline constexpr const char ReadFailed[] = "读取帖子表 %1 时数据库出错: %2";
inline constexpr const char RangeReversed[] = "帖子ID的结束值 %2 小于开始值 %1";
inline constexpr const char NoRoot[] = "检查帖子文件需要一个帖子表和它所属的根节点";
inline constexpr const char NoTable[] = "没有要检查的帖子表";
inline constexpr const char NoRanges[] = "该类型没有帖子属性范围, 无法确定要检查的帖子ID";
inline constexpr const char Summary[] = "帖子ID %1 到 %2: 共有 %3 个帖子, 缺少 %4 个(%5 段)";
inline constexpr const char SummaryFiles[] = ", 文件丢失 %1 个";
} // namespace GapText
