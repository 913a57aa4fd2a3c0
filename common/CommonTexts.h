#pragma once

#include <cerrno>

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

// The reasons of the system errors a user meets most, in the words of the system's
// own Chinese messages.
struct SystemErrorText
{
    int code;
    const char *text;
};
inline constexpr SystemErrorText SystemErrors[] = {
        {ENOENT, "没有那个文件或目录"},
        {EACCES, "权限不够"},
        {EPERM, "不允许的操作"},
        {EEXIST, "文件已存在"},
        {ENOTDIR, "不是目录"},
        {EISDIR, "是一个目录"},
        {ENOTEMPTY, "目录非空"},
        {ENOSPC, "设备上没有空间"},
        {EDQUOT, "超出磁盘配额"},
        {EROFS, "只读文件系统"},
        {ENAMETOOLONG, "文件名过长"},
        {ELOOP, "符号链接的层数过多"},
        {EMFILE, "打开的文件过多"},
        {ENFILE, "系统中打开的文件过多"},
        {EIO, "输入/输出错误"},
        {EBUSY, "设备或资源忙"},
        {ETXTBSY, "文本文件忙"},
        {EXDEV, "无效的跨设备链接"},
        {EFBIG, "文件过大"},
        {EINVAL, "无效的参数"},
        {ENOMEM, "无法分配内存"},
        {EAGAIN, "资源暂时不可用"},
        {EINTR, "被中断的系统调用"},
        {ENODEV, "没有那个设备"},
        {ENXIO, "没有那个设备或地址"},
        {EBADF, "错误的文件描述符"},
        {ESTALE, "过旧的文件句柄"},
        {ETIMEDOUT, "连接超时"},
};
} // namespace CommonText
