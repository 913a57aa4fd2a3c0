#pragma once

// The rows of a statement run by CAdoManager::ExecuteSql(sql, recordset, options).
//
// Ownership: the caller owns the record set (a std::unique_ptr that ExecuteSql fills).
// It owns what it reads from, so it stays readable after CloseAdoConnection and after
// the CAdoManager is gone; Close() or destruction releases everything.
//
// Memory: a small result (ResultSources.h) is held whole; of a listed one only a window
// of rows around the cursor is held (at most WindowLimit rows) and the rest is read on
// demand, each window in one short statement, so results of any size can be paged and
// nothing is held on the database in between (KeysetRowSource.h says why). The record
// count is the query's as it was run and stays so. While nothing changes, every row comes
// once, in one stable order. Rows deleted after the query ran leave holes, where
// IsDeleted() is true and the values are NULL: at the rows' own positions, or at the end
// of a result listed by key (KeysetRowSource.h).
//
// Cursor: positions 0 .. RecordCount()-1 are records; before the first is BOF, after the
// last EOF. A new record set stands on its first record (on EOF and BOF when empty).
//
// Failures: moves return 0 or a negative code (the layout of CAdoManager.h); a move that
// fails leaves the cursor where it was, so the current record and the rows read before
// stay usable. LastError() keeps the report of the latest failure, e.g. when the database
// file was removed or the server stopped while paging. No method throws a database error.
//
// Threads: use and destroy a record set in the thread that ran its statement.

#include "CAdoValue.h"
#include "browser/db/results/RowSource.h"

#include <deque>
#include <memory>
#include <string>

class CAdoRecordset
{
public:
    static constexpr long long WindowLimit = 1024;

    CAdoRecordset(); // closed
    ~CAdoRecordset();
    CAdoRecordset(const CAdoRecordset &) = delete;
    CAdoRecordset &operator=(const CAdoRecordset &) = delete;

    // False for a closed record set and for the result of a statement without rows.
    bool IsOpen() const;
    void Close();

    long RecordCount() const; // -1 when closed

    // Closed: both true (there is never a current record).
    bool IsEOF() const;
    bool IsBOF() const;

    long MoveFirst(); // to EOF when empty
    long MoveNext(); // fails on EOF
    long MovePrevious(); // fails on BOF; from EOF to the last record

    // The current record was deleted (or no longer matches the query) after it ran.
    bool IsDeleted() const;

    // ADO's AbsolutePosition: 1-based, -2 on BOF, -3 on EOF, -1 when closed.
    long AbsolutePosition() const;

    int FieldCount() const; // 0 when closed
    std::string FieldName(int index) const; // GBK, "" out of range
    int FieldType(int index) const; // ADO type code, 0 out of range
    int FieldIndex(const std::string &name) const; // exact (case-sensitive) name, -1 if none

    // The value of a field of the current record; a NULL value without a current record
    // or for an index or name that does not exist.
    CAdoValue Value(int index) const;
    CAdoValue Value(const std::string &name) const;

    const std::string &LastError() const { return lastError_; } // GBK, never cleared

private:
    friend class CAdoManager;
    // Opens on a source; fails when the first window cannot be read.
    bool Attach(std::unique_ptr<RowSource> source, DbError &error);

    bool hasRecord() const;
    bool load(long long index, DbError &error);
    bool rowsMissing(long long index, DbError &error) const;
    long move(long long target, const char *operation);
    long fail(const char *operation, const DbError &error);

    std::unique_ptr<RowSource> source_;
    std::vector<DbField> fields_;
    long long count_ = -1;
    long long position_ = -1; // -1 BOF, count_ EOF
    std::deque<DbRow> window_;
    long long windowFirst_ = 0;
    std::string lastError_;
};
