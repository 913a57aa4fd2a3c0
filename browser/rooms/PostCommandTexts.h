#pragma once

// The texts of the find, delete, move and go-to-post commands, as UTF-8 literals.
namespace PostCommandText {

// Find dialog
inline constexpr const char FindTitle[] = "查找帖子";
inline constexpr const char RootLabel[] = "根节点";
inline constexpr const char TableLabel[] = "对应的表名称为:";
inline constexpr const char SubRoomLabel[] = "查找的子论坛:";
inline constexpr const char AllPostsEntry[] = "该论坛的所有帖子";
inline constexpr const char IncludeSubRooms[] = "同时查找所有其所属的的子论坛";
inline constexpr const char SearchGroup[] = "查找内容输入";
inline constexpr const char ByTitle[] = "按照标题查找:";
inline constexpr const char ByTopicId[] = "按照帖子ID";
inline constexpr const char HintEmpty[] = "1. 无输入表示全部帖子。";
inline constexpr const char HintWords[] =
        "2. 多个单词请直接用%分开,注意单词的输入顺序不同     会导致查询结果也不同的。";
inline constexpr const char StartFind[] = "开始查找";
inline constexpr const char CancelFind[] = "取消查找";
inline constexpr const char FindFailed[] = "查找中发生错误->  ";
inline constexpr const char Unexpected[] = "无法意料的错误";

// Find, delete and move statements as the messages show them
inline constexpr const char FindQuery[] = "select * from %s where %s like '%%%s%%'";
inline constexpr const char DeleteStatement[] = "delete from %s where ";
inline constexpr const char MoveStatement[] = "update %s set roomid = %s";
inline constexpr const char WhereClause[] = " where ";
inline constexpr const char FirstTopicCondition[] = " topicid = ";
inline constexpr const char NextTopicCondition[] = " or topicid = ";
inline constexpr const char FirstRoomCondition[] = " and ( roomid = ";
inline constexpr const char NextRoomCondition[] = " or roomid = ";

// Delete and move
inline constexpr const char NothingSelected[] = "没有发现选择的帖子,请先选择帖子";
inline constexpr const char NoTopicIdColumn[] =
        "列表中没有帖子ID(topicid)列,不知道要删除或转移哪些帖子。";
inline constexpr const char ConfirmDeleteRows[] =
        "所有帖子ID如下所列的帖子在库中信息将被删除,你确认吗?";
inline constexpr const char ConfirmDeleteFiles[] =
        "帖子在数据库中已删除,以下是所对应的文件,你删除吗?";
inline constexpr const char ConnectionFailed[] = "打开到数据库的连接发生错误";
inline constexpr const char Deleted[] = "所选帖子在数据库中和磁盘文件上(共%d个)都已删除";
inline constexpr const char Moved[] = "帖子转移成功完成";
inline constexpr const char StatementFailed[] =
        "执行SQL语句[ %s ]发生错误,请检查:\n1.单词from后面的表名是否存在\n2. "
        "等号(=)或者单词(like)后面的字段值及其相应的类型是否填写正确!";
inline constexpr const char BadTopicId[] = "帖子ID“%s”不是整数,没有对数据库做任何操作。";
inline constexpr const char BadTableName[] =
        "表名“%s”不是合法的名称(只能由英文字母、数字和下划线组成,不以数字开头),"
        "没有对数据库做任何操作。";
inline constexpr const char EmptyTargetRoom[] = "所选的类型没有类型ID(ROOMID),帖子没有转移。";
inline constexpr const char NoPostTable[] = "当前列出的帖子没有对应的帖子表,请先打开一个类型。";
inline constexpr const char FilesNotMoved[] = "帖子已经转移,但以下帖子文件没有能够转移到新的位置:";
inline constexpr const char FileMoveLine[] = "%s -> %s: %s";

// Confirmation dialog
inline constexpr const char ConfirmTitle[] = "确认操作是否进行......";
inline constexpr const char ConfirmPlaceholder[] = "消息说明...";
inline constexpr const char Accept[] = "确定";
inline constexpr const char Refuse[] = "退出";

// Move dialog
inline constexpr const char MoveTitle[] = "把选择的帖子转移到......";
inline constexpr const char MoveTableLabel[] = "已经选择的帖子,   帖子所在表:";
inline constexpr const char MoveRoomIdLabel[] = "所选类型ID:";
inline constexpr const char MoveNone[] = "没有";
inline constexpr const char MoveTopicColumn[] = "所选帖子ID";
inline constexpr const char MoveRoomColumn[] = "帖子所属类型";
inline constexpr const char MoveTargetLabel[] = "选择的帖子要转移到的所属类型:";
inline constexpr const char MoveAccept[] = "进行转移";
inline constexpr const char MoveRefuse[] = "返回";

// Go to a post by its ID
inline constexpr const char RowsOfSeveralTables[] =
        "列表中的查找结果来自多个帖子表, 无法删除或转移: 请在左边选择一个类型后再查找。";
inline constexpr const char GoToPlaceholder[] = "帖子ID";
inline constexpr const char GoToTip[] = "输入帖子ID后按回车, 打开该帖子 (Ctrl+G)";
inline constexpr const char GoToBadId[] = "“%s”不是帖子ID: 请输入一个正整数。";
inline constexpr const char GoToNotFound[] = "所有帖子表中都没有帖子ID为 %s 的帖子。";
inline constexpr const char GoToTablesFailed[] = "\n以下帖子表无法查询: %s";

} // namespace PostCommandText
