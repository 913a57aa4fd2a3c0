#pragma once

// Failures of the database layer: their negative result codes and the blocks of text
// that CAdoManager's reports are made of. See CAdoManager.h for the code layout.

#include <cstdint>
#include <string>
#include <string_view>

class QSqlError;

enum class DbEngine : std::uint32_t {
    Layer = 0, // the layer itself: connection strings, state, lost files
    SQLite = 1,
    PostgreSQL = 2,
};

// Native numbers of the layer's own failures (engine Layer).
namespace LayerError {
constexpr std::uint32_t BadConnectionString = 1;
constexpr std::uint32_t UnknownProvider = 2;
constexpr std::uint32_t DriverUnavailable = 3;
constexpr std::uint32_t NotOpen = 4;
constexpr std::uint32_t DatabaseFileLost = 5;
constexpr std::uint32_t RecordsetClosed = 6;
constexpr std::uint32_t NoCurrentRecord = 7;
constexpr std::uint32_t UnsupportedOption = 8;
constexpr std::uint32_t RowsMissing = 9;
constexpr std::uint32_t NulInText = 10;
} // namespace LayerError

// One failure as the platform describes it. Texts are GBK.
struct DbError
{
    long code = 0;
    std::string description;
    std::string source;
};

// 0x80000000 | engine << 27 | native (27 bits), as a signed 32-bit number widened to long:
// always negative, so never 0 or 31.
long MakeDbErrorCode(DbEngine engine, std::uint32_t native);
DbEngine EngineOfCode(long code);
std::uint32_t NativeOfCode(long code);

// Whether a failure concerns the database as a whole rather than one statement, so that
// every later statement would fail the same way: the connection is lost or the server
// shuts down, the disk is full, a file cannot be read or written, the database is damaged
// or read-only, memory ran out.
bool IsFatalDbError(long code);

// SQLSTATE "42P01" read as a base-36 number (digits 0-9, letters A-Z); 0 when the text
// is not five such characters. 36^5 < 2^27, so every SQLSTATE fits.
std::uint32_t SqlStateNumber(std::string_view sqlState);
std::string SqlStateText(std::uint32_t number);

DbError MakeLayerError(std::uint32_t native, std::string description);

// A Qt Sql error of an engine. The description joins the driver's and the database's
// texts. PostgreSQL errors without an SQLSTATE (libpq reached no server) get 08001 while
// opening and 08006 afterwards.
DbError DbErrorFromSql(DbEngine engine, const QSqlError &error, bool opening = false);

// The message text of a code, with one trailing line feed (and a carriage return before
// it) removed; a code without text of its own gets "IDispatch error #n" or
// "Unknown error 0x...".
std::string DbErrorMessage(long code);

// "\r\n错误号码: [code]\r\n错误消息: ...\r\n错误描述: ...\r\n错误来源: ..."; a description
// of more than a few KB is cut (ShortenedText).
std::string DbErrorBlock(const DbError &error);
// "\r\nSQL语句: " + statement, cut like the description.
std::string DbStatementBlock(std::string_view statement);
