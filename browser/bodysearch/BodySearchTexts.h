#pragma once

// The texts of the body index build and the search page (UTF-8; Gbk::literal gives
// their GBK bytes). %1, %2 are filled in by the caller.

namespace BodySearchText {

inline constexpr const char PostIdOutOfRange[] =
        "帖子 %1 (表 %2): 帖子ID不在帖子文件的范围内, 没有帖子文件, 未编入正文索引";
inline constexpr const char NoPostLocation[] =
        "帖子 %1 (表 %2): 帖子属性范围中没有包含它的条目, 找不到帖子文件, 未编入正文索引";
inline constexpr const char PostFileProblem[] = "帖子 %1 (表 %2): %3";
inline constexpr const char TableHasNoRoom[] =
        "表 %1 不属于树配置文件中的任何根节点, 无法找到它的帖子文件";
inline constexpr const char TableFailed[] = "表 %1 的正文索引出错, 已停止: %2";
inline constexpr const char UnknownRoom[] = "根节点 “%1” 下面没有 roomid 为 %2 的论坛";
inline constexpr const char NoTables[] = "树配置文件中没有帖子表";
inline constexpr const char ThreadFailed[] = "无法启动建立正文索引的线程: %1";

} // namespace BodySearchText
