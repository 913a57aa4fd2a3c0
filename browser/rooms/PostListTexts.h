#pragma once

// The texts of the post list and its queries, as UTF-8 literals.
namespace PostListText {

inline constexpr const char TitleHeader[] = "标题";
inline constexpr const char TopicIdHeader[] = "帖子ID";
inline constexpr const char RoomHeader[] = "所属类别";
inline constexpr const char ReplyHeader[] = "回复";
inline constexpr const char UserHeader[] = "创建者";
inline constexpr const char CreatedHeader[] = "创建时间";
inline constexpr const char SnippetHeader[] = "内容摘要";
inline constexpr const char WholeArchiveScope[] = "全部帖子";
inline constexpr const char NoTablesToSearch[] = "树配置文件中没有帖子表, 无法查找帖子内容。";
inline constexpr const char BodyIndexMissing[] = "帖子表 %1 还没有正文索引。";
inline constexpr const char BodyIndexOld[] =
        "帖子表 %1 的正文索引是用另一版本的分词规则建立的, 需要重建。";
inline constexpr const char BodySearchFailed[] = "全文查找失败: %1";

inline constexpr const char RoomQuery[] = "select * from %s where roomid=%s";
inline constexpr const char Querying[] = "正在进行查询,请稍候......";
inline constexpr const char OpenFailed[] = "打开连接字符串错误,请检查配置文件是否正确";
inline constexpr const char QueryFailed[] =
        "执行SQL语句[ %s ]发生错误,请检查:\n1.单词from后面的表名是否存在\n2. "
        "等号(=)或者单词(like)后面的字段值及其相应的类型是否填写正确!";
inline constexpr const char QueryStatusError[] = "查询发生错误返回(hr=%ld)";
inline constexpr const char LastPageReached[] = "已经到达最后页(总记录个数=%ld)";
inline constexpr const char FirstPageReached[] = "已经到达第一页了(总记录个数=%ld)";
inline constexpr const char PageShown[] = "查询记录的个数= %ld ,当前显示第 %d 到 %d 个";
inline constexpr const char PageEmpty[] = "查询记录的个数= %ld ,当前页没有帖子";
inline constexpr const char ReadFailed[] = "读取查询结果时发生错误,列表保留原来的内容: %s";

} // namespace PostListText
