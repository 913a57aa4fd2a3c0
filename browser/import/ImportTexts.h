#pragma once

// The import's own texts, as UTF-8 literals; the engine takes their GBK bytes once per
// run (ImportTextSet), the sheet takes QString::fromUtf8.
namespace ImportText {

// Presets file and its elements
inline constexpr const char PresetsFile[] = "Configs\\XmlListInfo.xml";
inline constexpr const char PresetsOpenError[] = " 配置文件打开错误,请检查,程序将退出。";
inline constexpr const char ElementPresetList[] = "下拉列表填充";
inline constexpr const char ElementPresetItem[] = "下拉列表项";
inline constexpr const char ElementPresetContents[] = "具体内容项"; // followed by the index

// Defaults of the pages
inline constexpr const char DefaultImportFolder[] = "Import\\";
inline constexpr const char DefaultFilePattern[] = "*.htm";
inline constexpr const char DefaultTable[] = "post_other";

// Lines of the run (printf formats over GBK texts)
inline constexpr const char OpenFileError[] = "%s   文件打开错误(error=%ld)";
inline constexpr const char NotDigitsName[] = "文件名为< %s >不是数字的没法入库,忽略";
inline constexpr const char NoRoomid[] = "发现文件< %s >没有找到相应的roomid,忽略这个文件";
inline constexpr const char NoTitle[] = "发现文件< %s >没有找到相应的Title,忽略这个文件";
inline constexpr const char PathMismatch[] =
        "警告:帖子(%s)由程序构造的路径(%s)和实际磁盘上的路径(%s)不一致,帖子可能不能显示";
inline constexpr const char DuplicateCheckError[] = "文件<%s>操作(%s)错误(hr=%ld),忽略文件";
inline constexpr const char Duplicate[] = "文件<%s>已经存在(可能是topicid或者title),忽略该文件";
inline constexpr const char InsertFailed[] = "%s失败(hr=%ld)";
inline constexpr const char Summary[] = "插入完成: 总文件=%ld成功插入=%ld";
inline constexpr const char FolderUnreadable[] = "目录< %s >无法读取(error=%ld: %s),忽略这个目录";
inline constexpr const char LinkLeadsOut[] = "目录< %s >指向导入目录之外(%s),忽略这个目录";
inline constexpr const char NotRegularFile[] = "发现文件< %s >不是普通文件,忽略这个文件";
// A run that stops on a failure of the database as a whole: each file whose row was not
// committed, then the cause (its code and the database's own words).
inline constexpr const char NotImported[] = "文件<%s>没有导入:导入已经停止";
inline constexpr const char DatabaseFailed[] = "数据库发生错误,导入已经停止(hr=%ld): %s";
inline constexpr const char ThreadFailed[] = "无法启动导入所需的线程(%s),导入没有进行";
// A run ended by an error nobody expected (%1: what it said).
inline constexpr const char RunFailed[] = "导入因意外的错误中止: %1";

// Message boxes of the run
inline constexpr const char ConnectionError[] =
        "导入数据打开数据库连接错误,请检查连接字符串填写是否正确?连接字符串如下:\r\n";
inline constexpr const char TableError[] = "获取表%s属性发生错误[%ld],可能输入的表名不存在";

// FindNextTopicid
inline constexpr const char NextTopicidConnectionError[] =
        "打开数据库连接错误,请检查连接字符串填写是否正确?";
inline constexpr const char NextTopicidQueryError[] =
        "查找最大topicid发生错误, 请检查“导入到的表中”字段中填入的表名称(%s)是否存在?";

// Mode 3: the import folder must name a top-level room
inline constexpr const char NoRootRoomForFolder[] =
        "当选择“基本字段(必填)”页中的“认为帖子所在的目录是roomname”时要求输入的路径中最后一个"
        "路径必须对应某个根节点的类型名称";

// ValidatePage: a page's prefix followed by the check's text
inline constexpr const char PageBasePrefix[] = "基本信息(必填) -> ";
inline constexpr const char PageListPrefix[] = "基本字段(必填) -> ";
inline constexpr const char PageExternPrefix[] = "扩充字段 -> ";
inline constexpr const char NeedConnection[] = "“连接字符串”项必须输入";
inline constexpr const char NeedImportFolder[] = "“导入文件路径”项必须输入";
inline constexpr const char NeedFilePattern[] = "“文件格式”项必须输入";
inline constexpr const char NeedTable[] = "“导入到的表中”项必须输入";
inline constexpr const char NeedRoomidStart[] =
        "“帖子所属类型ID(roomid)的获取”框的“匹配开始”项不能为空";
inline constexpr const char NeedRoomidEnd[] =
        "“帖子所属类型ID(roomid)的获取”框的“匹配结束”项不能为空";
inline constexpr const char NeedTitleStart[] = "“标题(title)的截取”框的“匹配开始”项不能为空";
inline constexpr const char NeedTitleEnd[] = "“标题(title)的截取”框的“匹配结束”项不能为空";
inline constexpr const char UsernameGroup[] = "“用户名(username)的截取”框的";
inline constexpr const char ReplyGroup[] = "“回复次数(reply)的截取”框的";
inline constexpr const char CreatetimeGroup[] = "“创建时间(createtime)的截取”框的";
inline constexpr const char NeedStart[] = "“匹配开始”项不能为空";
inline constexpr const char NeedEnd[] = "“匹配结束”项不能为空";
inline constexpr const char NeedInteger[] = "请键入一个整数。";

// Status line before a run
inline constexpr const char IdleStatus[] = "暂时没有文件在处理......";

} // namespace ImportText
