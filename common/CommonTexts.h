#pragma once

// The texts of the shared utilities, as UTF-8 literals; engine code converts them
// to GBK with Gbk::literal where it needs the bytes.
namespace CommonText {
inline constexpr const char ProductVersionFormat[] = "产品版本:%hu.%hu";
inline constexpr const char VersionLabel[] = "版本号:";
inline constexpr const char OkButton[] = "确定";

// Why a file of settings is not read (FileSystem::readSettingsFile).
inline constexpr const char SettingsNotRegular[] = "不是普通文件";
inline constexpr const char SettingsTooLarge[] = "文件大于 64 MB,不像是设置文件";
// A conversion file that is not read: its path, the reason.
inline constexpr const char ConversionNotRead[] = "转换文件%s没有读取: %s";
// After the first few unknown placeholders of a run, the count of the others.
inline constexpr const char MorePlaceholders[] = "另有%zu个无法识别的占位符没有一一显示";

inline constexpr const char ExportDefaultName[] = "ExportMsg";
inline constexpr const char ExportDefaultSuffix[] = "txt";
inline constexpr const char ExportFilter[] = "文本文件(*.txt);;所有文件 (*.*)";
inline constexpr const char ExportDone[] = "消息已经成功导出到文件:\n";
inline constexpr const char ExportFailed[] = "无法把消息导出到文件:\n%1\n原因: %2";

inline constexpr const char ConversionFileName[] = "RoomID-Name.txt";
} // namespace CommonText
