#pragma once

// The texts of quillery itself, as UTF-8 literals; each subcommand keeps its own.
namespace CliText {
inline constexpr const char Summary[] = "不开窗口地导入、查找、分类帖子,生成下载列表";
inline constexpr const char Usage[] = "用法: quillery <子命令> [选项]\n"
                                      "\n"
                                      "子命令:\n";
inline constexpr const char UsageFooter[] = "\n"
                                            "用 \"quillery <子命令> --help\" 查看各子命令的选项。\n"
                                            "退出状态: 0 成功;1 操作失败;2 用法错误。\n";
inline constexpr const char UnknownCommand[] = "未知的子命令 “%1”";
inline constexpr const char MissingCommand[] = "缺少子命令";
inline constexpr const char SeeHelp[] = "请用 \"%1 --help\" 查看用法。";
inline constexpr const char Warning[] = "警告: ";

inline constexpr const char UnknownOption[] = "未知的选项 “%1”";
inline constexpr const char MissingValue[] = "选项 “%1” 需要一个值";
inline constexpr const char UnexpectedValue[] = "选项 “%1” 不带值";
inline constexpr const char ExtraArgument[] = "多余的参数 “%1”";
} // namespace CliText
