#pragma once

// A statement with its values kept apart from its text, for CAdoManager::ExecuteSql.
//
// The text holds one "?" per value and never the values themselves: values that come
// from files, directory names or the user reach the database bound to their
// placeholders, so a quote, a ";" or a second statement inside one is only data.
// `display` is the statement as it would read with the values written in; it is what
// the manager's reports show (the messages of the programs quote it too), and it is
// never run.

#include <string>
#include <vector>

struct SqlValue
{
    enum Kind { Null, Integer, Text, Blob };
    Kind kind = Null;
    long long integer = 0;
    // Text: GBK, converted to Unicode for the database; may hold NUL bytes.
    // Blob: bytes stored as they are (BLOB, bytea).
    std::string text;

    static SqlValue null();
    static SqlValue fromInteger(long long v);
    static SqlValue fromText(std::string gbk);
    static SqlValue fromBlob(std::string bytes);

    bool operator==(const SqlValue &) const = default;
};

struct BoundStatement
{
    std::string sql; // GBK, "?" placeholders, values never inside
    std::vector<SqlValue> values; // bound in order
    std::string display; // GBK, the statement as composed for messages/reports; empty = sql

    const std::string &shown() const { return display.empty() ? sql : display; }
};

// Bytes of a blob in a row of a rowid table, read where they lie
// (CAdoManager::ReadBlobSlices).
struct BlobSlice
{
    long long rowid = 0;
    long long at = 0;
    long long len = 0;
    std::string bytes; // filled by the read
};
