#pragma once

// Kestrel's own texts, as UTF-8 literals. Engine code takes the GBK bytes with
// Gbk::literal; widgets take QString::fromUtf8.
namespace KestrelText {

// Tree configuration file
inline constexpr const char DefaultTreeConfig[] = "Configs\\InitTree.xml";
inline constexpr const char ElementConnection[] = "数据库连接字符串";
inline constexpr const char ElementRoom[] = "帖子类型";
inline constexpr const char ElementPostRange[] = "帖子属性范围";
inline constexpr const char AttributeTable[] = "TABLE";
inline constexpr const char AttributeRoomId[] = "ROOMID";
inline constexpr const char ConfigOpenError[] = " 配置打开错误,请检查,程序将退出。";
inline constexpr const char BadRootTable[] =
        "类型“%s”的表名“%s”不是合法的表名: 只能由英文字母、数字和下划线组成,不以数字开头,"
        "可以带一个“模式名.”前缀,每一段最多63个字符。";
inline constexpr const char ConfigWarnings[] = "配置文件 %s 中有以下问题:";
inline constexpr const char BadRoomId[] =
        "类型“%s”的ROOMID“%s”不是0到4294967295之间的整数,打开该类型会失败或找不到帖子。";
inline constexpr const char BadPostRange[] =
        "类型“%s”的帖子属性范围“%s”不是“起始ID 结束ID 路径模板”的格式,已被忽略。";
inline constexpr const char PostRangeTooLong[] =
        "类型“%s”的帖子属性范围“%s”多于三项(路径模板中不能有空白),只用了前三项。";
inline constexpr const char SubRoomSeparator[] = " -> ";

// Main window
inline constexpr const char ProgramCaption[] = "Kestrel";
inline constexpr const char MainWindowTitle[] = "Kestrel程序主窗口";
inline constexpr const char IdleStatus[] = "就绪";
inline constexpr const char CapsLockPane[] = "大写";
inline constexpr const char NumLockPane[] = "数字";
inline constexpr const char NoRoomSelected[] = "还没有选择类型,请先在左边的列表中选择一个类型";
inline constexpr const char OpenPostFailed[] = "打开帖子时发生错误";
inline constexpr const char DatabaseNotCreated[] = "无法创建数据库, 查询帖子将会失败:\n";

inline constexpr const char MenuFile[] = "文件(&F)";
inline constexpr const char MenuView[] = "查看(&V)";
inline constexpr const char MenuRoom[] = "所属类型";
inline constexpr const char MenuPost[] = "帖子功能";
inline constexpr const char MenuHelp[] = "帮助(&H)";

struct CommandText
{
    const char *text;
    const char *prompt;
    const char *tooltip; // nullptr: the command has none
};
inline constexpr CommandText Exit {"退出(&X)", "退出应用程序；提示保存文档", "退出"};
inline constexpr CommandText ToolBar {"工具栏(&T)", "显示或隐藏工具栏", "显隐工具栏"};
inline constexpr CommandText StatusBar {"状态栏(&S)", "显示或隐藏状态栏", "显隐状态栏"};
inline constexpr CommandText RoomProperties {"所选类型属性", "显示当前所选的类型的基本属性",
                                             nullptr};
inline constexpr CommandText ImportToRoom {"导入到所选类型",
                                           "导入帖子到当前所选类型 - 自动搜索导入到的表", nullptr};
inline constexpr CommandText Import {"导入帖子", "把您从网上下载的帖子导入到当前数据库中",
                                     "导入已下载帖子"};
inline constexpr CommandText DeletePosts {"删除所选帖子", "删除当前选择的帖子", nullptr};
inline constexpr CommandText MovePosts {"转移所选帖子", "把已经选取的帖子在各个所属类型间移动",
                                        nullptr};
inline constexpr CommandText FirstPage {"第一页", "显示帖子列表的第一页", "第一页"};
inline constexpr CommandText NextPage {"下一页", "显示帖子列表的下页", "下一页"};
inline constexpr CommandText PreviousPage {"上一页", "显示上一页的帖子", "显示上一页的帖子"};
inline constexpr CommandText RefreshPosts {"刷新", "重新查询当前列出的类型或查找结果", "刷新"};
inline constexpr CommandText FindPosts {"查    找", "按照各种方式灵活查找帖子", "查找帖子"};
inline constexpr CommandText About {"关于 Kestrel(&A)...", "显示程序信息，版本号和版权", "关于"};
inline constexpr const char FindToolButton[] = "查找";

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

// About box
inline constexpr const char AboutTitle[] = "关于 Quillery";
inline constexpr const char AboutText[] = "Quillery(测试版)";
inline constexpr const char AboutCopyright[] = "Copyright © 2026 Quillery 开发者";

// Room properties dialog
inline constexpr const char RoomPropertiesTitle[] = "类型基本属性";
inline constexpr const char RoomIdLabel[] = "所属类型ID(roomid):";
inline constexpr const char RoomNameLabel[] = "所属类型名称:";
inline constexpr const char RoomTableLabel[] = "该类型所在表名称:";

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
