#pragma once

// Kestrel's texts shared by the shell, the post panel, the room model and the
// installed files, as UTF-8 literals. Engine code takes the GBK bytes with
// Gbk::literal; widgets take QString::fromUtf8. Texts of the main window alone
// are in browser/ShellTexts.h.
namespace KestrelText {

// Tree configuration file
inline constexpr const char DefaultTreeConfig[] = "Configs\\InitTree.xml";
inline constexpr const char ElementConnection[] = "数据库连接字符串";
inline constexpr const char ElementRoom[] = "帖子类型";
inline constexpr const char ElementPostRange[] = "帖子属性范围";
inline constexpr const char AttributeTable[] = "TABLE";
inline constexpr const char AttributeRoomId[] = "ROOMID";
inline constexpr const char BadRootTable[] =
        "类型“%s”的表名“%s”不是合法的表名: 只能由英文字母、数字和下划线组成,不以数字开头,"
        "可以带一个“模式名.”前缀,每一段最多63个字符。";
inline constexpr const char BadRoomId[] =
        "类型“%s”的ROOMID“%s”不是0到4294967295之间的整数,打开该类型会失败或找不到帖子。";
inline constexpr const char BadPostRange[] =
        "类型“%s”的帖子属性范围“%s”不是“起始ID 结束ID 路径模板”的格式,已被忽略。";
inline constexpr const char PostRangeTooLong[] =
        "类型“%s”的帖子属性范围“%s”多于三项(路径模板中不能有空白),只用了前三项。";
inline constexpr const char SubRoomSeparator[] = " -> ";

struct CommandText
{
    const char *text;
    const char *prompt;
    const char *tooltip; // nullptr: the command has none
};

// Post panel
inline constexpr CommandText SavePost {"保存", "保存帖子的修改", "保存对帖子的修改"};
inline constexpr CommandText EditPost {"编辑", "编辑网页", "编辑网页"};
inline constexpr CommandText FullScreenPost {"全屏", "把帖子成全屏显示", "全屏"};
inline constexpr CommandText ClosePost {"关闭", "关闭当前显示的帖子", "关闭帖子"};
inline constexpr const char PostViewTitle[] = "帖子浏览器";
inline constexpr const char PostTabTitleTip[] = "标题: ";
inline constexpr const char PostTabIdTip[] = "帖子ID: ";
inline constexpr const char PostTabFileTip[] = "文件: ";
inline constexpr const char PostTabMissingTip[] = " (文件不存在)";
inline constexpr const char FullScreenTitle[] = "全屏";
inline constexpr const char XmlEditQuestion[] =
        "xml文件用浏览器编辑后将只能另存为HTM格式的文件了,如果点击\"是\"按钮则用浏览器编辑,"
        "点击\"否\"按钮将按文本格式打开该xml文件,其他按钮返回,请选择";
inline constexpr const char SavePostFailed[] = "保存帖子的修改失败,修改还在编辑中:\n%1\n%2";
inline constexpr const char SaveAsCaption[] = "另存为";
inline constexpr const char SaveAsFilter[] = "网页文件 (*.htm *.html);;所有文件 (*)";
inline constexpr const char XmlTargetRefused[] =
        "不能把网页保存到xml文件本身,请另选一个文件名:\n%1";
inline constexpr const char DiscardEdits[] = "对帖子的修改还没有保存,要放弃这些修改吗?";
inline constexpr const char EditorNotStarted[] = "无法启动文本编辑器打开该文件:\n%1";

// Command line
inline constexpr const char CommandLineSummary[] = "离线的 Lumora 论坛帖子浏览器";
inline constexpr const char CommandLineHelp[] =
        "用法: kestrel [树配置文件]\n"
        "\n"
        "Kestrel 浏览离线保存的 Lumora 论坛帖子: 左边是类型(讨论室)的树,右上是帖子\n"
        "列表,下面以标签页显示帖子;还可以查找、删除、转移帖子,导入下载的帖子文件。\n"
        "树配置文件是数据目录下的相对路径(默认: Configs/InitTree.xml),\n"
        "例如 kestrel Configs/Other.xml。\n"
        "\n"
        "选项:\n";
} // namespace KestrelText
