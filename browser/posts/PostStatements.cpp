#include "PostStatements.h"

#include "browser/db/DbEndpoint.h"
#include "browser/db/EmbeddedDatabase.h"
#include "browser/rooms/KestrelTexts.h"
#include "browser/rooms/PostCommandTexts.h"
#include "common/Codec.h"
#include "common/TextFormat.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

SqlDialect DialectOf(const std::string &connectionString)
{
    DbEndpoint endpoint;
    DbError error;
    if (ParseDbEndpoint(connectionString, endpoint, error)
        && endpoint.engine == DbEngine::PostgreSQL)
        return SqlDialect::PostgreSQL;
    return SqlDialect::SQLite;
}

std::string RoomIdWithoutMarker(const std::string &attribute)
{
    const std::size_t marker = attribute.find('*', 1);
    return marker == std::string::npos ? attribute : attribute.substr(0, marker);
}

bool ParseIntegerText(const std::string &text, long long &value)
{
    std::size_t digits = text.size() > 0 && text[0] == '-' ? 1 : 0;
    if (digits >= text.size())
        return false;
    for (std::size_t i = digits; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    errno = 0;
    const long long number = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE)
        return false;
    value = number;
    return true;
}

std::optional<std::uint32_t> PostFileTopicId(const std::string &topicidText)
{
    long long id = 0;
    if (!ParseIntegerText(topicidText, id) || id < 0
        || id > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    return std::uint32_t(id);
}

SqlValue RoomIdValue(const std::string &roomid)
{
    long long number = 0;
    if (ParseIntegerText(roomid, number))
        return SqlValue::fromInteger(number);
    // A room without an id holds no posts: NULL equals nothing.
    if (roomid.empty())
        return SqlValue::null();
    return SqlValue::fromText(roomid);
}

std::string DoubleApostrophes(const std::string &gbk)
{
    std::string out;
    out.reserve(gbk.size());
    for (std::size_t pos = 0; pos < gbk.size();) {
        const std::size_t length = Gbk::charLength(gbk, pos);
        if (length == 1 && gbk[pos] == '\'')
            out += '\'';
        out.append(gbk, pos, length);
        pos += length;
    }
    return out;
}

std::string EscapeLikeText(const std::string &gbk)
{
    std::string out;
    out.reserve(gbk.size());
    for (std::size_t pos = 0; pos < gbk.size();) {
        const std::size_t length = Gbk::charLength(gbk, pos);
        if (length == 1 && (gbk[pos] == '_' || gbk[pos] == '\\'))
            out += '\\';
        out.append(gbk, pos, length);
        pos += length;
    }
    return out;
}

namespace {

// Whole characters only: a GBK trail byte may be an ASCII letter's byte.
bool hasAsciiLetter(const std::string &gbk)
{
    for (std::size_t pos = 0; pos < gbk.size();) {
        const std::size_t length = Gbk::charLength(gbk, pos);
        const unsigned char c = static_cast<unsigned char>(gbk[pos]);
        if (length == 1 && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
            return true;
        pos += length;
    }
    return false;
}

bool checkTable(const std::string &table, std::string &problem)
{
    if (IsPlainTableName(table))
        return true;
    problem = FormatText(Gbk::literal(PostCommandText::BadTableName).c_str(), table.c_str());
    return false;
}

// "<first> ? <next> ? ..." for the bound text and the values written in for the shown one.
void appendConditions(const std::vector<std::string> &shown, const std::vector<SqlValue> &values,
                      const char *first, const char *next, BoundStatement &statement)
{
    for (std::size_t k = 0; k < shown.size(); ++k) {
        const std::string join = Gbk::literal(k == 0 ? first : next);
        statement.display += join + shown[k];
        statement.sql += join + "?";
        statement.values.push_back(values[k]);
    }
}

bool topicConditions(const std::vector<std::string> &topicids, BoundStatement &statement,
                     std::string &problem)
{
    if (topicids.empty()) {
        problem = Gbk::literal(PostCommandText::NothingSelected);
        return false;
    }
    std::vector<SqlValue> values;
    for (const std::string &text : topicids) {
        long long id = 0;
        if (!ParseIntegerText(text, id)) {
            problem = FormatText(Gbk::literal(PostCommandText::BadTopicId).c_str(), text.c_str());
            return false;
        }
        values.push_back(SqlValue::fromInteger(id));
    }
    appendConditions(topicids, values, PostCommandText::FirstTopicCondition,
                     PostCommandText::NextTopicCondition, statement);
    return true;
}

} // namespace

std::string TitleIndexName(const std::string &table)
{
    return table + "_title_trigram";
}

std::string TitleIndexMatch(const std::string &text)
{
    std::vector<std::string> words(1);
    std::vector<int> lengths(1, 0);
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t length = Gbk::charLength(text, pos);
        if (length == 1 && text[pos] == '%') {
            words.emplace_back();
            lengths.push_back(0);
        } else {
            for (std::size_t i = 0; i < length; ++i) {
                if (text[pos + i] == '"' && length == 1)
                    words.back() += '"';
                words.back() += text[pos + i];
            }
            ++lengths.back();
        }
        pos += length;
    }
    std::string match;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (lengths[i] < 3)
            continue;
        match += (match.empty() ? "\"" : " AND \"") + words[i] + "\"";
    }
    return match;
}

std::vector<std::string> FindRoomIds(const FindQueryInput &input)
{
    std::vector<std::string> ids;
    const std::size_t count = std::min(input.subRoomPaths.size(), input.subRoomIds.size());
    if (input.subRoomEntry < 1 || std::size_t(input.subRoomEntry) > count)
        return ids;
    const std::size_t selected = std::size_t(input.subRoomEntry) - 1;
    ids.push_back(RoomIdWithoutMarker(input.subRoomIds[selected]));
    if (!input.includeSubRooms)
        return ids;
    // The rooms below come right after it, in pre-order; a sibling whose name merely
    // begins with the same characters is not one of them.
    const std::string below = input.subRoomPaths[selected] + KestrelText::SubRoomSeparator;
    for (std::size_t i = selected + 1; i < count; ++i) {
        if (input.subRoomPaths[i].compare(0, below.size(), below) != 0)
            break;
        ids.push_back(RoomIdWithoutMarker(input.subRoomIds[i]));
    }
    return ids;
}

bool ComposeFindQuery(const FindQueryInput &input, SqlDialect dialect, BoundStatement &statement,
                      std::string &problem, bool titleIndex)
{
    statement = BoundStatement();
    if (!checkTable(input.table, problem))
        return false;
    const char *column = input.byTopicId ? "topicid" : "title";
    statement.display =
            FormatText(Gbk::literal(PostCommandText::FindQuery).c_str(), input.table.c_str(),
                       column, DoubleApostrophes(input.text).c_str());

    // An empty text matches every row, NULL titles too, so it adds no condition. The
    // post ID is compared as text on both engines; title case is folded for ASCII only,
    // as SQLite's LIKE does.
    statement.sql = "select * from " + input.table + " where ";
    if (input.text.empty()) {
        statement.sql += "1 = 1";
    } else {
        // SQLite's trigram index narrows the rows down; the LIKE below decides. PostgreSQL
        // uses its index for the LIKE itself.
        const std::string match = titleIndex && !input.byTopicId && dialect == SqlDialect::SQLite
                ? TitleIndexMatch(input.text)
                : std::string();
        if (!match.empty()) {
            const std::string index = TitleIndexName(input.table);
            statement.sql +=
                    "topicid in (select rowid from " + index + " where " + index + " match ?) and ";
            statement.values.push_back(SqlValue::fromText(match));
        }
        if (input.byTopicId)
            statement.sql += "cast(topicid as text) like ? escape '\\'";
        else if (dialect == SqlDialect::PostgreSQL && hasAsciiLetter(input.text))
            statement.sql += "title collate \"C\" ilike ? escape '\\'";
        else if (dialect == SqlDialect::PostgreSQL)
            // Nothing to fold: the plain match gives the same rows at about half the cost
            // of ilike, which lowers every title first.
            statement.sql += "title collate \"C\" like ? escape '\\'";
        else
            statement.sql += "title like ? escape '\\'";
        statement.values.push_back(SqlValue::fromText("%" + EscapeLikeText(input.text) + "%"));
    }

    const std::vector<std::string> rooms = FindRoomIds(input);
    if (!rooms.empty()) {
        std::vector<SqlValue> values;
        for (const std::string &roomid : rooms)
            values.push_back(RoomIdValue(roomid));
        appendConditions(rooms, values, PostCommandText::FirstRoomCondition,
                         PostCommandText::NextRoomCondition, statement);
        statement.display += ")";
        statement.sql += ")";
    }
    return true;
}

bool ComposeDeleteStatement(const std::string &table, const std::vector<std::string> &topicids,
                            BoundStatement &statement, std::string &problem)
{
    statement = BoundStatement();
    if (!checkTable(table, problem))
        return false;
    statement.display =
            FormatText(Gbk::literal(PostCommandText::DeleteStatement).c_str(), table.c_str());
    statement.sql = statement.display;
    return topicConditions(topicids, statement, problem);
}

bool ComposeMoveStatement(const std::string &table, const std::string &roomid,
                          const std::vector<std::string> &topicids, BoundStatement &statement,
                          std::string &problem)
{
    statement = BoundStatement();
    if (!checkTable(table, problem))
        return false;
    const std::string target = RoomIdWithoutMarker(roomid);
    if (target.empty()) {
        problem = Gbk::literal(PostCommandText::EmptyTargetRoom);
        return false;
    }
    statement.display = FormatText(Gbk::literal(PostCommandText::MoveStatement).c_str(),
                                   table.c_str(), target.c_str())
            + Gbk::literal(PostCommandText::WhereClause);
    statement.sql =
            FormatText(Gbk::literal(PostCommandText::MoveStatement).c_str(), table.c_str(), "?")
            + Gbk::literal(PostCommandText::WhereClause);
    statement.values.push_back(RoomIdValue(target));
    return topicConditions(topicids, statement, problem);
}
