#pragma once

// The texts of the import sheet and its pages, as UTF-8 literals; the texts the run
// shares with the engine are in ImportTexts.h.
namespace ImportSheetText {

inline constexpr const char SheetCaption[] =
        "导入帖子   --  注意:  [基本字段(必填)]和[扩充字段]两个页的输入都必须用小写";
inline constexpr const char BasePageTitle[] = "基本信息(必填)";
inline constexpr const char ListPageTitle[] = "基本字段(必填)";
inline constexpr const char ExternPageTitle[] = "扩充字段";

// Page "基本信息(必填)"
inline constexpr const char ConnectionLabel[] = "连接字符串(一般用户无需修改):";
inline constexpr const char FolderLabel[] = "导入文件路径    (含所有子目录):";
inline constexpr const char ChooseFolderButton[] = "选择目录";
inline constexpr const char PathCheckBox[] = "检查程序构造的帖子路径和实际路径是否一致";
inline constexpr const char MessagesLabel[] = "消息输出:";
inline constexpr const char ClearMessagesButton[] = "清除消息";
inline constexpr const char ExportMessagesButton[] = "导出消息";
inline constexpr const char StatusLabel[] = "处理:";
inline constexpr const char ChooseFolderTitle[] = "请选择下载文件的存储路径";
inline constexpr const char ChooseFolderFailed[] = "选择下载目录操作出错";
inline constexpr const char FolderPathFailed[] = "获取目录失败";
// Progress beside the status line: files met, inserted, files per second, elapsed.
inline constexpr const char ProgressFormat[] = "文件: %1  已插入: %2  速度: %3 个/秒  用时: %4";
inline constexpr const char ProgressLeftFormat[] = "  共 %1 个文件, 剩余时间: %2";

// Page "基本字段(必填)"
inline constexpr const char PresetLabel[] = "预先定义的格式:";
inline constexpr const char PatternLabel[] = "文件格式:";
inline constexpr const char PatternNote[] = "(一般是htm或xml)";
inline constexpr const char TableLabel[] = "导入到的表中:";
inline constexpr const char TableNote[] = "(一般用户建议不修改这里)";
inline constexpr const char CheckTopicidBox[] = "插入前检查帖子ID(topicid)是否存在(慢很多)";
inline constexpr const char CheckTitleBox[] = "插入前检查帖子标题(title)是否存在(慢很多)";
inline constexpr const char RoomidGroup[] = "帖子所属类型ID(roomid)的获取";
inline constexpr const char MarkerStart[] = "匹配开始:";
inline constexpr const char MarkerEnd[] = "匹配结束:";
inline constexpr const char RoomidModes[5][128] = {
        "认为截取的就是roomid(不需转换文件)",
        "要经过转换文件RoomID-Name.txt转换才是roomid(转换文件必须存在)",
        "使用“匹配开始”字段所填的值", "认为帖子所在的目录是roomname", "认为帖子所在的目录是roomid"};
inline constexpr const char TopicidGroup[] = "帖子ID(topicid)的获取";
inline constexpr const char TopicidFromName[] = "认为找到的文件名就是(不含扩展名)";
inline constexpr const char TopicidAutogrow[] = "认为是依找到的文件从下面所填的值自动增长";
inline constexpr const char FindUniqueButton[] = "搜索唯一值";
inline constexpr const char TitleGroup[] = "标题(title)的截取";
inline constexpr const char TitleFromName[] = "使用找到的文件名(不含扩展名)";
inline constexpr const char TableMissingForSearch[] = "“导入到的表中:”字段不能为空";
inline constexpr const char SearchDuringRun[] =
        "导入程序正在运行,搜索唯一值要用同一个数据库连接,请在导入结束或中止后再搜索";

// Page "扩充字段"
inline constexpr const char UsernameBox[] = "用户名(username)的截取";
inline constexpr const char ReplyBox[] = "回复次数(reply)的截取";
inline constexpr const char TimeBox[] = "创建时间(createtime)的截取";

// Validation
inline constexpr const char NotAnInteger[] = "请键入一个整数。";
inline constexpr const char BasePrefix[] = "基本信息(必填) -> ";
inline constexpr const char ListPrefix[] = "基本字段(必填) -> ";
inline constexpr const char ExternPrefix[] = "扩充字段 -> ";
inline constexpr const char NeedConnection[] = "“连接字符串”项必须输入";
inline constexpr const char NeedFolder[] = "“导入文件路径”项必须输入";
inline constexpr const char NeedPattern[] = "“文件格式”项必须输入";
inline constexpr const char NeedTable[] = "“导入到的表中”项必须输入";
inline constexpr const char NeedRoomidStart[] =
        "“帖子所属类型ID(roomid)的获取”框的“匹配开始”项不能为空";
inline constexpr const char NeedRoomidEnd[] =
        "“帖子所属类型ID(roomid)的获取”框的“匹配结束”项不能为空";
inline constexpr const char NeedTitleStart[] = "“标题(title)的截取”框的“匹配开始”项不能为空";
inline constexpr const char NeedTitleEnd[] = "“标题(title)的截取”框的“匹配结束”项不能为空";
inline constexpr const char UsernameFrame[] = "“用户名(username)的截取”框的";
inline constexpr const char ReplyFrame[] = "“回复次数(reply)的截取”框的";
inline constexpr const char TimeFrame[] = "“创建时间(createtime)的截取”框的";
inline constexpr const char NeedStart[] = "“匹配开始”项不能为空";
inline constexpr const char NeedEnd[] = "“匹配结束”项不能为空";

// Sheet buttons, run control and tray
inline constexpr const char TrayButton[] = "放入托盘";
inline constexpr const char StartButton[] = "开始导入";
inline constexpr const char AbortButton[] = "中止导入";
inline constexpr const char TrayTip[] = "Quillery";
inline constexpr const char Aborting[] = "正在中止,请稍候...";
inline constexpr const char AbortDone[] = "中止线程运行成功完成(WAIT_OBJECT_0)";
inline constexpr const char AbortTimedOut[] = "超时,中止失败";
inline constexpr const char AbortFailed[] = "中止线程运行失败(WAIT_ABANDONED)";
inline constexpr const char RunningOnOk[] = "导入程序正在运行，请先中止导入";
inline constexpr const char RunningOnClose[] = "导入程序正在运行,请先中止导入";
inline constexpr const char WorkerStartFailed[] = "无法启动导入线程,导入没有开始";

} // namespace ImportSheetText
