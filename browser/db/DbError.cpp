#include "DbError.h"

#include "DbTexts.h"

#include "common/Codec.h"
#include "common/TextFormat.h"

#include <QSqlError>

#include <array>
#include <stdexcept>

namespace {

constexpr std::uint32_t NativeMask = (1u << 27) - 1;

// SQLite's primary result codes, the low byte of an extended code.
constexpr std::array<const char *, 29> SqlitePrimaryNames = {
        "SQLITE_OK",       "SQLITE_ERROR",     "SQLITE_INTERNAL", "SQLITE_PERM",
        "SQLITE_ABORT",    "SQLITE_BUSY",      "SQLITE_LOCKED",   "SQLITE_NOMEM",
        "SQLITE_READONLY", "SQLITE_INTERRUPT", "SQLITE_IOERR",    "SQLITE_CORRUPT",
        "SQLITE_NOTFOUND", "SQLITE_FULL",      "SQLITE_CANTOPEN", "SQLITE_PROTOCOL",
        "SQLITE_EMPTY",    "SQLITE_SCHEMA",    "SQLITE_TOOBIG",   "SQLITE_CONSTRAINT",
        "SQLITE_MISMATCH", "SQLITE_MISUSE",    "SQLITE_NOLFS",    "SQLITE_AUTH",
        "SQLITE_FORMAT",   "SQLITE_RANGE",     "SQLITE_NOTADB",   "SQLITE_NOTICE",
        "SQLITE_WARNING"};

const char *layerMessage(std::uint32_t native)
{
    switch (native) {
    case LayerError::BadConnectionString:
        return DbText::BadConnectionString;
    case LayerError::UnknownProvider:
        return DbText::UnknownProvider;
    case LayerError::DriverUnavailable:
        return DbText::DriverUnavailable;
    case LayerError::NotOpen:
        return DbText::NotOpen;
    case LayerError::DatabaseFileLost:
        return DbText::DatabaseFileLost;
    case LayerError::RecordsetClosed:
        return DbText::RecordsetClosed;
    case LayerError::NoCurrentRecord:
        return DbText::NoCurrentRecord;
    case LayerError::UnsupportedOption:
        return DbText::UnsupportedOption;
    case LayerError::RowsMissing:
        return DbText::RowsMissing;
    case LayerError::NulInText:
        return DbText::NulInText;
    default:
        return nullptr;
    }
}

std::string codeText(long code)
{
    const std::uint32_t native = NativeOfCode(code);
    switch (EngineOfCode(code)) {
    case DbEngine::Layer:
        if (const char *text = layerMessage(native))
            return Gbk::literal(text);
        return std::string();
    case DbEngine::SQLite: {
        const std::uint32_t primary = native & 0xFF;
        if (native == 0 || primary >= SqlitePrimaryNames.size())
            return std::string();
        return FormatText("%s (%u)", SqlitePrimaryNames[primary], unsigned(native));
    }
    case DbEngine::PostgreSQL:
        if (native == 0)
            return std::string();
        return "SQLSTATE " + SqlStateText(native);
    }
    return std::string();
}

// Driver texts end lines with LF; the reports use CR LF throughout.
std::string withCrLf(const QString &text)
{
    std::string gbk = Gbk::fromQString(text);
    std::string out;
    out.reserve(gbk.size());
    for (std::size_t i = 0; i < gbk.size(); ++i) {
        if (gbk[i] == '\n' && (i == 0 || gbk[i - 1] != '\r'))
            out += '\r';
        out += gbk[i];
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

} // namespace

long MakeDbErrorCode(DbEngine engine, std::uint32_t native)
{
    const std::uint32_t bits = 0x80000000u | std::uint32_t(engine) << 27 | (native & NativeMask);
    return long(std::int32_t(bits));
}

DbEngine EngineOfCode(long code)
{
    return DbEngine((std::uint32_t(code) >> 27) & 0xF);
}

std::uint32_t NativeOfCode(long code)
{
    return std::uint32_t(code) & NativeMask;
}

bool IsFatalDbError(long code)
{
    if (code >= 0)
        return false;
    const std::uint32_t native = NativeOfCode(code);
    switch (EngineOfCode(code)) {
    case DbEngine::Layer:
        return native == LayerError::NotOpen || native == LayerError::DatabaseFileLost;
    case DbEngine::SQLite:
        switch (native & 0xFF) {
        case 7: // SQLITE_NOMEM
        case 8: // SQLITE_READONLY
        case 10: // SQLITE_IOERR
        case 11: // SQLITE_CORRUPT
        case 13: // SQLITE_FULL
        case 14: // SQLITE_CANTOPEN
        case 26: // SQLITE_NOTADB
            return true;
        default:
            return false;
        }
    case DbEngine::PostgreSQL: {
        if (native == 0)
            return false;
        const std::string state = SqlStateText(native);
        const std::string_view group = std::string_view(state).substr(0, 2);
        // 08 connection, 53 resources (disk, memory), 58 system (I/O), XX internal
        // (corruption); shutdowns; a server that only reads.
        return group == "08" || group == "53" || group == "58" || group == "XX" || state == "57P01"
                || state == "57P02" || state == "57P03" || state == "25006";
    }
    }
    return false;
}

std::uint32_t SqlStateNumber(std::string_view sqlState)
{
    if (sqlState.size() != 5)
        return 0;
    std::uint32_t number = 0;
    for (char c : sqlState) {
        std::uint32_t digit;
        if (c >= '0' && c <= '9')
            digit = std::uint32_t(c - '0');
        else if (c >= 'A' && c <= 'Z')
            digit = std::uint32_t(c - 'A' + 10);
        else
            return 0;
        number = number * 36 + digit;
    }
    return number;
}

std::string SqlStateText(std::uint32_t number)
{
    std::string text(5, '0');
    for (int i = 4; i >= 0; --i) {
        const std::uint32_t digit = number % 36;
        text[std::size_t(i)] = char(digit < 10 ? '0' + digit : 'A' + digit - 10);
        number /= 36;
    }
    return text;
}

DbError MakeLayerError(std::uint32_t native, std::string description)
{
    return DbError {MakeDbErrorCode(DbEngine::Layer, native), std::move(description),
                    Gbk::literal(DbText::LayerSource)};
}

DbError DbErrorFromSql(DbEngine engine, const QSqlError &error, bool opening)
{
    const std::string nativeText = error.nativeErrorCode().toStdString();
    std::uint32_t native = 0;
    const char *source = DbText::LayerSource;
    if (engine == DbEngine::SQLite) {
        source = DbText::SqliteSource;
        try {
            native = nativeText.empty() ? 0 : std::uint32_t(std::stoul(nativeText));
        } catch (const std::logic_error &) {
            native = 0;
        }
    } else if (engine == DbEngine::PostgreSQL) {
        source = DbText::PostgresSource;
        native = SqlStateNumber(nativeText);
        // libpq gives no SQLSTATE when it cannot reach the server at all.
        if (native == 0)
            native = SqlStateNumber(opening ? "08001" : "08006");
    }
    std::string description = withCrLf(error.driverText());
    const std::string databaseText = withCrLf(error.databaseText());
    if (!databaseText.empty())
        description += description.empty() ? databaseText : ": " + databaseText;
    return DbError {MakeDbErrorCode(engine, native), std::move(description), Gbk::literal(source)};
}

std::string DbErrorMessage(long code)
{
    std::string text = codeText(code);
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
    }
    if (!text.empty())
        return text;
    // Windows' HRESULTs are 32 bits wide: show the code as such, not as a 64-bit long.
    const std::uint32_t bits = std::uint32_t(code);
    if (bits >= 0x80040200u && bits <= 0x8004FFFFu)
        return FormatText(DbText::DispatchError, int(bits - 0x80040200u));
    return FormatText(DbText::UnknownError, static_cast<unsigned long>(bits));
}

std::string DbErrorBlock(const DbError &error)
{
    std::string block = FormatText(Gbk::literal(DbText::ErrorNumber).c_str(), error.code);
    block += DbErrorMessage(error.code);
    block += Gbk::literal(DbText::ErrorDescription);
    block += ShortenedText(error.description);
    block += Gbk::literal(DbText::ErrorSource);
    block += error.source;
    return block;
}

std::string DbStatementBlock(std::string_view statement)
{
    return Gbk::literal(DbText::StatementBlock) + ShortenedText(statement);
}
