#pragma once

// Sorrel's own texts as UTF-8 literals: the dialog shows them through QString::fromUtf8,
// the engine converts them to GBK once with Gbk::literal.
namespace SorrelText {
inline constexpr const char ProgramCaption[] = "Sorrel";
inline constexpr const char DialogTitle[] =
        "Sorrel(主要针对离线的帖子)  -- 注意所有的输入内容是不区分大小写的";

inline constexpr const char InputLabel[] = "输入目录(自动包含所有子目录):";
inline constexpr const char PatternLabel[] = "文件格式:";
inline constexpr const char OutputLabel[] = "输出目录:";
inline constexpr const char NameStartLabel[] = "roomname的开始标记:";
inline constexpr const char NameEndLabel[] = "roomname的结束标记:";
inline constexpr const char IdStartLabel[] = "roomid的开始标记:";
inline constexpr const char IdEndLabel[] = "roomid的结束标记:";

inline constexpr const char ChoicesFrame[] = "只和分类有关,和转换文件提取无关";
inline constexpr const char FolderGroup[] = "生成分类目录创建方法,流水号开始值为100";
inline constexpr const char NamingGroup[] = "分类后的文件名命名规则";
inline constexpr const char TransferGroup[] = "文件生成方法:";
inline constexpr const char FolderByRoomId[] = "按照roomid直接提取(主要对Lumora的XML文件适用)";
inline constexpr const char FolderByConversion[] =
        "先提取roomname,然后根据文件RoomID-Name.txt转成roomid,"
        "如果找不到则按流水号创建(Lumora的htm帖子等)";
inline constexpr const char FolderBySequence[] = "按照roomname相同的流水号自动生成";
inline constexpr const char FolderFlat[] = "不创建分类目录,全部放在输出目录下(容易重名)";
inline constexpr const char NameKeep[] = "保持不变";
inline constexpr const char NameByRoomName[] = "按照提取的roomname命名(极易重名)";
inline constexpr const char NameBySequence[] = "按照数字流水号命名,流水号开始值为:";
inline constexpr const char SequenceSuffix[] = "(扩展名不变)";
inline constexpr const char TransferCopy[] = "Copy原来的文件";
inline constexpr const char TransferMove[] = "移动原来的文件";

inline constexpr const char OutputFileLine[] = "输出文件:";
inline constexpr const char OutputFileInitial[] = "输出文件";
inline constexpr const char SourceFileLine[] = "正在处理的文件:";
inline constexpr const char SourceFileInitial[] = "正在处理的文件";
inline constexpr const char MessagesLabel[] = "提示信息:";

inline constexpr const char StartButton[] = "开始分类";
inline constexpr const char ExtractButton[] = "提取转换文件RoomID-Name.txt";
inline constexpr const char ClearButton[] = "清除信息";
inline constexpr const char ExportButton[] = "导出消息";
// The text of the running command's button while its run goes on.
inline constexpr const char StopButton[] = "停止";

inline constexpr const char AboutMenuEntry[] = "关于 Sorrel(&A)...";
inline constexpr const char CloseMenuEntry[] = "关闭(&C)";
inline constexpr const char MenuButtonTip[] = "窗口菜单 (Alt+空格)";
inline constexpr const char MenuButtonLabel[] = "菜单";
inline constexpr const char AboutTitle[] = "关于 Sorrel";
inline constexpr const char AboutText[] = "Sorrel  离线帖子分类器\n"
                                          "Quillery 离线帖子存档套件的一部分";

inline constexpr const char NotAnInteger[] = "请键入一个整数。";

// Message lines of the runs.
inline constexpr const char FilePrefix[] = "文件[";
inline constexpr const char NoRoomName[] = "]中没有找到相应的roomname,忽略";
inline constexpr const char NoRoomId[] = "]中没有找到相应的roomid,忽略";
inline constexpr const char CopyFailed[] = "Copy文件到{";
inline constexpr const char MoveFailed[] = "移动文件到{";
inline constexpr const char TransferFailedEnd[] = "}发生错误可能文件已经存在";
// Between the line above and the reason the system gives.
inline constexpr const char ReasonSeparator[] = ": ";
inline constexpr const char Summary[] = "转换完成,总个数=%lld,成功的个数=%lld";
inline constexpr const char OldOutputFound[] = "发现原来的输出文:";
inline constexpr const char OldOutputDeleted[] = " 已删除";

// Lines of this program's own making, for problems the walk and the file system report.
inline constexpr const char NoInputDirectory[] = "没有指定输入目录";
inline constexpr const char NoOutputDirectory[] = "没有指定输出目录";
inline constexpr const char UnreadableDirectory[] = "无法读取目录[%s]:%s";
inline constexpr const char UnreadableFile[] = "无法读取文件[%s]:%s,忽略";
inline constexpr const char NotRegularFile[] = "文件[%s]不是普通文件,忽略";
inline constexpr const char Stopped[] = "已按要求停止,以下计数只含已处理的文件";
inline constexpr const char ConversionCannotCreate[] = "无法创建转换文件{%s}:%s";
inline constexpr const char ConversionCannotWrite[] =
        "无法写入转换文件{%s}:%s,原来的RoomID-Name.txt保持不变";
inline constexpr const char ConversionStopped[] =
        "转换文件提取已按要求停止,原来的RoomID-Name.txt保持不变";

// Progress: files done, files in all, files per second, time left.
inline constexpr const char Progress[] = "已处理 %1/%2 个文件,%3 个/秒,剩余 %4";
inline constexpr const char ProgressNoTotal[] = "已处理 %1 个文件,%2 个/秒";

// Automation.
inline constexpr const char ServiceName[] = "Sorrel.Application";
inline constexpr const char AutomationSwitch[] = "--automation";

// Command line
inline constexpr const char CommandLineSummary[] = "把离线的帖子文件按讨论室分类";
inline constexpr const char CommandLineHelp[] =
        "用法: sorrel [--automation]\n"
        "\n"
        "Sorrel 遍历输入目录及其所有子目录,把帖子文件按讨论室复制或移动到输出目录下\n"
        "的分类目录中,也可以从帖子文件中提取转换文件 RoomID-Name.txt。\n"
        "正常启动时写出 D-Bus 服务文件,使自动化客户端可以启动 Sorrel.Application。\n"
        "\n"
        "选项:\n"
        "      --automation       作为 D-Bus 服务 Sorrel.Application 启动(由会话总线使用)\n";
} // namespace SorrelText
