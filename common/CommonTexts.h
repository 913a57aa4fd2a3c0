#pragma once

#include <cerrno>

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

// The user's data folder of an installed program (%s: paths, then the reason).
inline constexpr const char NoUserFolder[] =
        "无法确定用户数据文件夹: 没有主目录(请设置 HOME 或 XDG_DATA_HOME)";
inline constexpr const char FolderNotCreated[] = "无法建立文件夹 %s: %s";
inline constexpr const char DefaultsMissing[] = "找不到程序的默认文件: %s 中没有 Configs 目录";
inline constexpr const char DefaultsUnreadable[] = "无法读取默认文件的目录 %s: %s";
inline constexpr const char DefaultNotCopied[] = "无法把默认文件 %s 复制为 %s: %s";
inline constexpr const char PortableMode[] = "便携方式, 程序目录: %s";
inline constexpr const char InstalledMode[] = "安装方式, 程序目录: %s";
inline constexpr const char DataFolderLine[] = "数据目录: %s";
inline constexpr const char DefaultsFolderLine[] = "默认文件: %s";

// The options every program has, and where its files are: the end of each --help.
inline constexpr const char InfoOptionsHelp[] = "  -h, --help             显示本帮助\n"
                                                "      --version          显示版本号\n";
inline constexpr const char VersionLine[] = "%1 %2\n";
inline constexpr const char FilesHelp[] =
        "\n"
        "文件:\n"
        "程序所在的目录含有 Configs/ 且可写时(构建目录、解压的副本),数据目录就是程序\n"
        "的目录(便携方式)。否则每个用户有自己的数据目录 $XDG_DATA_HOME/quillery\n"
        "(默认 ~/.local/share/quillery):第一次启动时建立,并从安装目录的\n"
        "share/quillery 复制默认文件,用户已有的文件从不覆盖。数据目录中有:\n"
        "  Configs/InitTree.xml     树配置文件: 类型、帖子表、连接字符串、帖子文件的位置\n"
        "  Configs/XmlListInfo.xml  导入帖子的预先定义格式\n"
        "  Configs/Garnet.ini       Garnet 和 quillery urls 所用的服务器地址\n"
        "  Data/Lumora.db           默认的 SQLite 帖子数据库\n"
        "  RoomID-Name.txt          讨论室名称与 roomid 的转换文件\n"
        "示例帖子在安装目录的 share/quillery/sample 中,可以复制到数据目录后导入。\n";
} // namespace CommonText
