#pragma once

// The statements of InsertPost. Their texts for messages are composed exactly as the
// import has always shown them; what runs is the same statement with "?" in place of
// every value, the values bound, so nothing taken from a file becomes SQL.

#include "PostExtraction.h"
#include "browser/db/BoundStatement.h"

#include <string>
#include <string_view>

// An integer as a file may write it: blanks around, an optional sign, decimal digits,
// within 64 bits. False for anything else (empty, "1e3", "0x10", "12a").
bool ParseIntegerText(std::string_view text, long long &value);

// Every "'" doubled, as the shown statements write text values.
std::string DoubleQuotes(std::string_view text);

// "select 1 from T where " + " topicid = 123 " + " or " + " title = 'x'". At least one
// check must be on; the topicid must pass ParseIntegerText when its check is on.
BoundStatement DuplicateCheckStatement(const std::string &table, const PostFields &fields,
                                       bool checkTopicid, bool checkTitle);

// "insert into T(topicid,title,roomid[,username][,createtime][,reply]) values(...)";
// optional columns only with a value. False (statement still composed for the message)
// when a value for an integer column is not an integer: the topicid, the reply, and the
// roomid when the column is numeric. Without withDisplay the shown text stays empty (a
// batch composes it only for a message).
bool InsertStatement(const std::string &table, const PostFields &fields, bool roomidIsNumeric,
                     BoundStatement &statement, bool withDisplay = true);
