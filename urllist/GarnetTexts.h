#pragma once

// Garnet's own texts as UTF-8 literals: the dialog shows them through QString::fromUtf8,
// the engine converts them to GBK once with Gbk::literal.
namespace GarnetText {
inline constexpr const char ProgramCaption[] = "Garnet";
inline constexpr const char DialogTitle[] = "Lumora帖子URL列表生成器";
inline constexpr const char FrameLabel[] = "产生帖子  --  仅仅适用于Lumora网站";
inline constexpr const char OutputPathLabel[] = "产生的帖子列表文件输出路径:";
inline constexpr const char FormatLabel[] = "行格式:";
inline constexpr const char TemplateLabel[] = "产生的格式:";
inline constexpr const char FirstIdLabel[] = "帖子ID的开始值:";
inline constexpr const char LastIdLabel[] = "帖子ID的结束值:";
inline constexpr const char GenerateButton[] = "生成帖子列表文件";

inline constexpr const char AboutMenuEntry[] = "关于 Garnet(&A)...";
inline constexpr const char CloseMenuEntry[] = "关闭(&C)";
inline constexpr const char MenuButtonTip[] = "窗口菜单 (Alt+空格)";
inline constexpr const char MenuButtonLabel[] = "菜单";
inline constexpr const char AboutTitle[] = "关于 Garnet";
inline constexpr const char AboutText[] = "Garnet  Lumora帖子URL列表生成器\n"
                                          "Quillery 离线帖子存档套件的一部分";

inline constexpr const char DefaultListName[] = "DownList.lst";

inline constexpr const char HtmlItem[] = "2003年以前的htm帖子";
inline constexpr const char XmlItem[] = "2003年及以后的xml帖子";
inline constexpr const char HtmlPath[] = "/expert/buildtopic1.asp?id=|ID|";
inline constexpr const char XmlPath[] = "/Expert/topic/|ID4|/|ID|.xml";

// The standard prompts of integer fields.
inline constexpr const char NotAnInteger[] = "请键入一个整数。";
inline constexpr const char IntegerOutOfRange[] = "“请填入一个在%1和%2之间的整数。”";

inline constexpr const char RangeReversed[] = "开始值必须比结束值小";
inline constexpr const char HtmlRangeRejected[] = "HTM文件的帖子ID的结束值必须小于1317806";
inline constexpr const char XmlRangeRejected[] = "XML文件的的帖子ID的开始值必须大于1317806";
inline constexpr const char HtmlDone[] = "生成完成(共%d个)";
inline constexpr const char XmlDone[] = "产生完毕,共%d个";

// Only the posts the archive lacks
inline constexpr const char MissingOnlyBox[] = "只列出档案中没有的帖子";
inline constexpr const char ArchiveConfigLabel[] = "档案的配置文件:";
inline constexpr const char LeftOut[] = ",档案中已有的 %d 个未列出";
inline constexpr const char ArchiveUnreadable[] = "无法读取档案的配置文件:\n%s\n原因: %s";
inline constexpr const char ArchiveNoTables[] = "档案的配置文件 %s 中没有帖子表";
inline constexpr const char ArchiveFailed[] = "无法检查档案中已有的帖子,列表文件没有改动:\n%s";
inline constexpr const char GapListDone[] = "下载列表 %s 已写好, 共 %lld 行";
inline constexpr const char ArchiveIncomplete[] = "检查档案中已有的帖子时出错,列表不完整:\n%s";

inline constexpr const char CreateFolderQuestion[] = "输出目录不存在:\n%1\n要创建这个目录吗?";
inline constexpr const char CannotCreateFolder[] = "无法创建输出目录:\n%1\n原因: %2";
inline constexpr const char CannotCreate[] = "无法创建帖子列表文件:\n%s\n原因: %s";
inline constexpr const char CannotWrite[] = "写入帖子列表文件时出错,列表不完整:\n%s\n原因: %s";

inline constexpr const char DefaultServer[] = "https://www.lumora.example";
inline constexpr const char ServerSettingFile[] = "Configs/Garnet.ini";
inline constexpr const char ServerSettingKey[] = "Server/BaseUrl";
inline constexpr const char ServerFileUnreadable[] = "无法读取服务器设置文件:\n%s\n原因: %s\n"
                                                     "将使用默认的服务器地址 %s。";
inline constexpr const char ServerFileMalformed[] = "文件格式不正确";
inline constexpr const char ServerValueInvalid[] =
        "服务器设置文件 %s 中的 BaseUrl “%s” 无效:\n"
        "应为 http:// 或 https:// 加上主机名(可带端口),不带路径、查询或片段,"
        "例如 https://www.lumora.example。\n将使用默认的服务器地址 %s。";

// Command line
inline constexpr const char CommandLineSummary[] = "生成 Lumora 帖子的下载地址列表";
inline constexpr const char CommandLineHelp[] =
        "用法: garnet\n"
        "\n"
        "Garnet 为一段帖子ID写出下载列表 DownList.lst,每个帖子地址一行,\n"
        "供下载工具使用(quillery urls 不开窗口做同样的事)。\n"
        "\n"
        "选项:\n";
} // namespace GarnetText
