#include "InsertStatements.h"

#include <limits>

namespace {

bool isBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

} // namespace

bool ParseIntegerText(std::string_view text, long long &value)
{
    std::size_t begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    bool negative = false;
    if (begin < end && (text[begin] == '+' || text[begin] == '-'))
        negative = text[begin++] == '-';
    if (begin == end)
        return false;
    unsigned long long magnitude = 0;
    const unsigned long long limit = negative
            ? 1ull + std::numeric_limits<long long>::max()
            : static_cast<unsigned long long>(std::numeric_limits<long long>::max());
    for (std::size_t i = begin; i < end; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        const unsigned digit = unsigned(text[i] - '0');
        if (magnitude > (limit - digit) / 10)
            return false;
        magnitude = magnitude * 10 + digit;
    }
    value = negative ? static_cast<long long>(0ull - magnitude) : static_cast<long long>(magnitude);
    return true;
}

std::string DoubleQuotes(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 2);
    for (const char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out;
}

BoundStatement DuplicateCheckStatement(const std::string &table, const PostFields &fields,
                                       bool checkTopicid, bool checkTitle)
{
    BoundStatement statement;
    statement.sql = "select 1 from " + table + " where ";
    statement.display = statement.sql;
    if (checkTopicid) {
        long long topicid = 0;
        ParseIntegerText(fields.topicid, topicid);
        statement.display += " topicid = " + fields.topicid + " ";
        statement.sql += " topicid = ? ";
        statement.values.push_back(SqlValue::fromInteger(topicid));
        if (checkTitle) {
            statement.display += " or ";
            statement.sql += " or ";
        }
    }
    if (checkTitle) {
        statement.display += " title = '" + DoubleQuotes(fields.title) + "'";
        statement.sql += " title = ?";
        statement.values.push_back(SqlValue::fromText(fields.title));
    }
    return statement;
}

bool InsertStatement(const std::string &table, const PostFields &fields, bool roomidIsNumeric,
                     BoundStatement &statement, bool withDisplay)
{
    bool valid = true;
    const auto integer = [&](const std::string &text) {
        long long value = 0;
        if (!ParseIntegerText(text, value))
            valid = false;
        return SqlValue::fromInteger(value);
    };

    statement = BoundStatement();
    statement.values.reserve(6);
    std::string columns = "insert into " + table + "(topicid,title,roomid";
    std::string marks = ") values(?,?,?";
    statement.values.push_back(integer(fields.topicid));
    statement.values.push_back(SqlValue::fromText(fields.title));
    statement.values.push_back(roomidIsNumeric ? integer(fields.roomid)
                                               : SqlValue::fromText(fields.roomid));
    if (!fields.username.empty()) {
        columns += ",username";
        marks += ",?";
        statement.values.push_back(SqlValue::fromText(fields.username));
    }
    if (!fields.createtime.empty()) {
        columns += ",createtime";
        marks += ",?";
        statement.values.push_back(SqlValue::fromText(fields.createtime));
    }
    if (!fields.reply.empty()) {
        columns += ",reply";
        marks += ",?";
        statement.values.push_back(integer(fields.reply));
    }
    if (withDisplay) {
        std::string shown = ") values(" + fields.topicid + ",'" + DoubleQuotes(fields.title) + "',"
                + (roomidIsNumeric ? fields.roomid : "'" + DoubleQuotes(fields.roomid) + "'");
        if (!fields.username.empty())
            shown += ",'" + DoubleQuotes(fields.username) + "'";
        if (!fields.createtime.empty())
            shown += ",'" + fields.createtime + "'";
        if (!fields.reply.empty())
            shown += "," + fields.reply;
        statement.display = columns + shown + ")";
    }
    statement.sql = columns + marks + ")";
    return valid;
}
