#include "DbConnection.h"

#include "common/Codec.h"

#include <QSqlError>

#include <sqlite3.h>

#include <algorithm>
#include <limits>

std::string DbConnection::sqliteFile() const
{
    const char *file = sqlite_ ? sqlite3_db_filename(sqlite_, "main") : nullptr;
    return file ? std::string(file) : std::string();
}

bool DbConnection::readSqliteSlices(const std::string &gbkTable, const std::string &column,
                                    std::vector<BlobSlice> &slices, long long runBytes,
                                    DbError &error)
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
    long long open = 0; // the rowid the handle is on
    // Moving an open handle to another row costs a look-up; opening one compiles a
    // statement.
    const auto moveTo = [&](long long rowid) {
        if (blob && rowid == open)
            return true;
        const int result = blob
                ? sqlite3_blob_reopen(blob, rowid)
                : sqlite3_blob_open(sqlite_, "main", table.c_str(), name.c_str(), rowid, 0, &blob);
        open = rowid;
        return result == SQLITE_OK;
    };
    bool ok = true;
    bool outside = false; // a slice past its blob: no SQLite call failed
    for (BlobSlice &slice : slices) {
        if (slice.len < 0 || slice.at < 0 || slice.len > std::numeric_limits<int>::max()
            || slice.at > std::numeric_limits<int>::max() - slice.len) {
            ok = false;
            outside = true;
            break;
        }
        slice.bytes.resize(std::size_t(slice.len));
        long long rowid = slice.rowid;
        long long at = slice.at;
        long long done = 0;
        while (done < slice.len) {
            if (!moveTo(rowid)) {
                ok = false;
                break;
            }
            const long long size = sqlite3_blob_bytes(blob);
            const long long n = std::min(slice.len - done, size - at);
            if (n <= 0 || (done + n < slice.len && size != runBytes)) {
                ok = false;
                outside = true;
                break;
            }
            if (sqlite3_blob_read(blob, slice.bytes.data() + done, int(n), int(at)) != SQLITE_OK) {
                ok = false;
                break;
            }
            done += n;
            ++rowid;
            at = 0;
        }
        if (!ok)
            break;
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
