#pragma once

// The texts of the database layer, as UTF-8 literals; the layer converts them to GBK
// with Gbk::literal where it composes a report.
namespace DbText {

// Report blocks of CAdoManager's last error text.
inline constexpr const char StatementBlock[] = "\r\nSQL语句: ";
inline constexpr const char ErrorNumber[] = "\r\n错误号码: [%ld]\r\n错误消息: ";
inline constexpr const char ErrorDescription[] = "\r\n错误描述: ";
inline constexpr const char ErrorSource[] = "\r\n错误来源: ";

inline constexpr const char OpenFailed[] = "\r\n打开上面的连接串发生错误(在OpenAdoConnection)\r\n";
inline constexpr const char OpenUnexpected[] =
        "\r\n上面的连接串在OpenAdoConnection发生没有意料到的错误";
inline constexpr const char CloseFailed[] = "CloseAdoConnection发生错误\r\n";
inline constexpr const char CloseUnexpected[] = "CloseAdoConnection发生无法意料的错误!";
inline constexpr const char ExecuteFailed[] = "ExecuteSql函数发生错误:\r\n";
inline constexpr const char ExecuteUnexpected[] = "\r\n上面的SQL语句在ExecuteSql发生无法意料的错误";
inline constexpr const char ExecuteRsFailed[] = "ExecuteSql[Rs]函数发生错误:\r\n";
inline constexpr const char ExecuteRsUnexpected[] =
        "\r\n上面的SQL语句在ExecuteSql[Rs]发生无法意料的错误!";
inline constexpr const char TransactionFailed[] = "%s函数发生错误:\r\n";
inline constexpr const char TransactionUnexpected[] = "%s发生无法意料的错误!";

// Message texts of codes that have no text of their own.
inline constexpr const char DispatchError[] = "IDispatch error #%d";
inline constexpr const char UnknownError[] = "Unknown error 0x%0lX";

// Reports of the record set.
inline constexpr const char RecordsetFailed[] = "记录集读取数据发生错误(在%s):";
inline constexpr const char RecordsetUnexpected[] = "记录集在%s发生无法意料的错误!";

// Messages of the layer's own error codes.
inline constexpr const char BadConnectionString[] = "连接串格式不正确";
inline constexpr const char UnknownProvider[] = "不支持的数据库提供者";
inline constexpr const char DriverUnavailable[] = "数据库驱动不可用";
inline constexpr const char NotOpen[] = "数据库连接没有打开";
inline constexpr const char DatabaseFileLost[] = "数据库文件已经不存在";
inline constexpr const char RecordsetClosed[] = "记录集没有打开";
inline constexpr const char NoCurrentRecord[] = "记录集已经在开头或者末尾";
inline constexpr const char UnsupportedOption[] = "不支持的命令选项";
inline constexpr const char RowsMissing[] = "记录集的数据行与记录个数不一致";
inline constexpr const char NulInText[] = "文本值含有NUL字符";

// Descriptions that go with them.
inline constexpr const char MissingEquals[] = "关键字\"%s\"后面缺少等号";
inline constexpr const char MissingKey[] = "等号前面缺少关键字";
inline constexpr const char UnterminatedQuote[] = "关键字\"%s\"的值缺少结束引号";
inline constexpr const char TextAfterQuote[] = "关键字\"%s\"的值在结束引号后面还有字符";
inline constexpr const char MissingProvider[] = "连接串中没有Provider";
inline constexpr const char ProviderNamed[] =
        "Provider=%s (只支持 Provider=SQLite 和 Provider=PostgreSQL)";
inline constexpr const char UnknownKey[] = "Provider=%s 不认识关键字\"%s\"";
inline constexpr const char MissingDataSource[] = "Provider=SQLite 需要 Data Source (数据库文件)";
inline constexpr const char BadPort[] = "Port=%s 不是 1 到 65535 之间的端口号";
inline constexpr const char BadSslMode[] = "SSL Mode=%s 不是有效的取值";
inline constexpr const char DriverNamed[] = "Qt Sql 驱动 %s 没有安装";
inline constexpr const char FileNamed[] = "文件: %s";
inline constexpr const char OptionNamed[] = "选项=%ld (只支持 1: SQL语句)";
inline constexpr const char NulInTextDetail[] =
        "PostgreSQL 的文本不能保存NUL字符(0x00), 语句没有执行";
inline constexpr const char CommandTimedOut[] = "语句执行超过命令超时(%d秒), 已被中断: ";
inline constexpr const char RowsMissingDetail[] = "第 %lld 行不存在, 记录个数为 %lld";

inline constexpr const char LayerSource[] = "Kestrel CAdoManager";
inline constexpr const char SqliteSource[] = "SQLite (Qt QSQLITE)";
inline constexpr const char PostgresSource[] = "PostgreSQL (Qt QPSQL)";

// The embedded default database.
inline constexpr const char BadTableName[] =
        "帖子表名称\"%s\"不合法: 只能由英文字母、数字和下划线组成, 不能以数字开头, "
        "也不能以sqlite_开头";
inline constexpr const char CannotCreateFolder[] = "无法创建数据库文件夹: %s";
inline constexpr const char CannotCreateFile[] = "无法创建数据库文件: %s (%s)";

} // namespace DbText
