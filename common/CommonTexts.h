#pragma once

// The texts of the shared utilities, as UTF-8 literals; engine code converts them
// to GBK with Gbk::literal where it needs the bytes.
namespace CommonText {
inline constexpr const char ProductVersionFormat[] = "产品版本:%hu.%hu";
inline constexpr const char VersionLabel[] = "版本号:";
inline constexpr const char OkButton[] = "确定";

inline constexpr const char ExportDefaultName[] = "ExportMsg";
inline constexpr const char ExportDefaultSuffix[] = "txt";
inline constexpr const char ExportFilter[] = "文本文件(*.txt);;所有文件 (*.*)";
inline constexpr const char ExportDone[] = "消息已经成功导出到文件:\n";
inline constexpr const char ExportFailed[] = "无法把消息导出到文件:\n%1\n原因: %2";

inline constexpr const char ConversionFileName[] = "RoomID-Name.txt";
} // namespace CommonText
