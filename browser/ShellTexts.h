#pragma once

// Texts of Kestrel's main window, menus and dialogs of the shell alone, as UTF-8
// literals (widgets take QString::fromUtf8). Shared texts are in browser/rooms.
#include "browser/rooms/KestrelTexts.h"

namespace KestrelText {

// Tree configuration problems, as the shell reports them
inline constexpr const char ConfigOpenError[] = " 配置打开错误,请检查,程序将退出。";
inline constexpr const char ConfigWarnings[] = "配置文件 %s 中有以下问题:";

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

inline constexpr CommandText Exit {"退出(&X)", "退出应用程序；提示保存文档", "退出"};
inline constexpr CommandText ToolBar {"工具栏(&T)", "显示或隐藏工具栏", "显隐工具栏"};
inline constexpr CommandText StatusBar {"状态栏(&S)", "显示或隐藏状态栏", "显隐状态栏"};
inline constexpr CommandText RoomProperties {"所选类型属性", "显示当前所选的类型的基本属性",
                                             nullptr};
inline constexpr CommandText ImportToRoom {"导入到所选类型",
                                           "导入帖子到当前所选类型 - 自动搜索导入到的表", nullptr};
inline constexpr CommandText Import {"导入帖子", "把您从网上下载的帖子导入到当前数据库中",
                                     "导入已下载帖子"};
inline constexpr CommandText CheckMissing {
        "检查缺少的帖子...", "检查所选类型的帖子表中缺少的帖子和文件丢失的帖子", nullptr};
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
inline constexpr CommandText BodySearch {"全文查找...",
                                         "在所选类型(没有选择时在全部帖子)的帖子内容中查找",
                                         "全文查找 (Ctrl+Shift+F)"};

// The search field on the toolbar
inline constexpr const char BodySearchPlaceholder[] = "搜索帖子内容";
inline constexpr const char BodySearchNoIndexPlaceholder[] = "搜索帖子内容 (没有正文索引)";
inline constexpr const char BodySearchTip[] =
        "输入要查找的词后按回车 (Ctrl+Shift+F): 词之间用空格分开, 都要出现; "
        "\"...\" 括住连续出现的词句; -词 排除含有该词的帖子\n查找范围: %1";
inline constexpr const char BodySearchScopeLabel[] = "范围: %1";
inline constexpr const char BodySearchNoTables[] = "查找范围“%1”中没有帖子表, 无法查找。";
inline constexpr const char BodySearchStateFailed[] = "无法读取帖子表 %1 的正文索引:\n%2";
inline constexpr const char BodySearchOfferBuild[] =
        "%1\n\n现在建立正文索引吗? 建立时会读取表中每个帖子的文件, 帖子多时需要一些时间, "
        "可以随时停止, 已经建立的部分会保留。";
inline constexpr const char BodySearchIndexMissing[] = "帖子表 %1 还没有正文索引。";
inline constexpr const char BodySearchIndexOld[] =
        "帖子表 %1 的正文索引是用另一版本的分词规则建立的, 需要重建。";
inline constexpr CommandText BuildBodyIndex {
        "建立正文索引...", "为查找范围内的帖子表建立或更新正文索引", "建立正文索引"};

// The body index build window
inline constexpr const char BuildIndexTitle[] = "建立正文索引";
inline constexpr const char BuildIndexTables[] = "帖子表: %1";
inline constexpr const char BuildIndexStop[] = "停止(&S)";
inline constexpr const char BuildIndexNoProblems[] = "无法读取的帖子文件会列在这里。";
inline constexpr const char BuildIndexProgress[] =
        "已检查 %1 / %2 个帖子, 编入索引 %3 个  速度: %4 个/秒  用时: %5";
inline constexpr const char BuildIndexLeft[] = "  剩余时间: %1";
inline constexpr const char BuildIndexOptimizing[] = "  正在整理索引...";
inline constexpr const char BuildIndexStopping[] = "正在停止, 请稍候 (当前这一批完成后停止)...";
inline constexpr const char BuildIndexDone[] =
        "正文索引已建立: 编入 %1 个帖子, %2 个帖子文件无法读取, 移除 %3 个已删除帖子的索引。";
inline constexpr const char BuildIndexStopped[] =
        "已停止: 已编入的 %1 个帖子保留在索引中, 下次建立时从这里继续。";
inline constexpr const char BuildIndexFailed[] = "建立正文索引时出错, 已停止: %1";

// About box
inline constexpr const char AboutTitle[] = "关于 Quillery";
inline constexpr const char AboutText[] = "Quillery(测试版)";
inline constexpr const char AboutCopyright[] = "Copyright © 2026 Quillery 开发者";

// Room properties dialog
inline constexpr const char RoomPropertiesTitle[] = "类型基本属性";
inline constexpr const char RoomIdLabel[] = "所属类型ID(roomid):";
inline constexpr const char RoomNameLabel[] = "所属类型名称:";
inline constexpr const char RoomTableLabel[] = "该类型所在表名称:";
// Missing posts dialog
inline constexpr const char MissingTitle[] = "检查缺少的帖子";
inline constexpr const char MissingRoom[] = "类型“%1”, 帖子表 %2";
inline constexpr const char MissingRange[] = "帖子ID %1 到 %2(帖子属性范围内表中已有的帖子ID)";
inline constexpr const char MissingRows[] = "表中有 %1 个帖子";
inline constexpr const char MissingGaps[] = "缺少的帖子: %1 个(%2 段)";
inline constexpr const char MissingFiles[] = "文件丢失的帖子: %1 个";
inline constexpr const char MissingWriteList[] = "写下载列表(&W)...";
inline constexpr const char MissingEmpty[] = "类型“%1”的帖子表中没有帖子属性范围内的帖子。";
inline constexpr const char MissingFailed[] = "检查缺少的帖子时出错:";
inline constexpr const char MissingSaveCaption[] = "保存缺少的帖子的下载列表";
inline constexpr const char MissingListFilter[] = "下载列表 (*.lst);;所有文件 (*)";
} // namespace KestrelText
