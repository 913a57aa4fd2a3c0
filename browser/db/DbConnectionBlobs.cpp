#include "DbConnection.h"

#include "common/Codec.h"

#include <QSqlError>

#include <sqlite3.h>

#include <limits>

bool DbConnection::readSqliteSlices(const std::string &gbkTable, const std::string &column,
                                    std::vector<BlobSlice> &slices, DbError &error)
{
    error = DbError();
    if (!checkOpen(error))
        return false;
    if (!sqlite_) {
        error = errorFrom(QSqlError(QStringLiteral("Unable to read"),
                                    QStringLiteral("blob slices are read from SQLite only"),
                                    QSqlError::StatementError, QString::number(SQLITE_MISUSE)));
        return false;
    }
    const std::string table = Gbk::toUtf8(gbkTable);
    const std::string name = Gbk::toUtf8(column);
    sqlite3_blob *blob = nullptr;
    bool ok = true;
    bool outside = false; // a slice past its blob: no SQLite call failed
    long long open = 0; // the rowid the handle is on
    for (BlobSlice &slice : slices) {
        if (slice.len < 0 || slice.at < 0 || slice.len > std::numeric_limits<int>::max()
            || slice.at > std::numeric_limits<int>::max() - slice.len) {
            ok = false;
            outside = true;
            break;
        }
        // Moving an open handle to another row costs a look-up; opening one compiles a
        // statement.
        if (!blob || slice.rowid != open) {
            const int result = blob ? sqlite3_blob_reopen(blob, slice.rowid)
                                    : sqlite3_blob_open(sqlite_, "main", table.c_str(),
                                                        name.c_str(), slice.rowid, 0, &blob);
            if (result != SQLITE_OK) {
                ok = false;
                break;
            }
            open = slice.rowid;
        }
        if (slice.at + slice.len > sqlite3_blob_bytes(blob)) {
            ok = false;
            outside = true;
            break;
        }
        slice.bytes.resize(std::size_t(slice.len));
        if (slice.len > 0
            && sqlite3_blob_read(blob, slice.bytes.data(), int(slice.len), int(slice.at))
                    != SQLITE_OK) {
            ok = false;
            break;
        }
    }
    if (!ok) {
        error = !outside
                ? sqliteStepError()
                : errorFrom(QSqlError(QStringLiteral("Unable to read"),
                                      QStringLiteral("a slice lies outside its blob"),
                                      QSqlError::StatementError, QString::number(SQLITE_RANGE)));
    }
    if (blob)
        sqlite3_blob_close(blob);
    return ok;
}
