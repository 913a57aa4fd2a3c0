#include "CAdoRecordset.h"

#include "DbFaultInjection.h"
#include "DbTexts.h"

#include "common/Codec.h"
#include "common/ResultCodes.h"
#include "common/TextFormat.h"

#include <algorithm>

namespace {

// Paging forward reads on in chunks; stepping back reads a longer stretch that ends at
// the cursor, so the post list's "previous page" (200 steps back) refills at most once.
constexpr long long ForwardChunk = 256;
constexpr long long BackwardChunk = 512;

static_assert(ForwardChunk <= CAdoRecordset::WindowLimit
              && BackwardChunk <= CAdoRecordset::WindowLimit);

} // namespace

CAdoRecordset::CAdoRecordset() = default;

CAdoRecordset::~CAdoRecordset()
{
    Close();
}

bool CAdoRecordset::IsOpen() const
{
    return source_ != nullptr;
}

void CAdoRecordset::Close()
{
    window_.clear();
    source_.reset();
    fields_.clear();
    count_ = -1;
    position_ = -1;
    windowFirst_ = 0;
}

bool CAdoRecordset::Attach(std::unique_ptr<RowSource> source, DbError &error)
{
    Close();
    fields_ = source->fields();
    count_ = source->count();
    source_ = std::move(source);
    position_ = 0;
    if (count_ > 0 && !load(0, error)) {
        Close();
        return false;
    }
    return true;
}

long CAdoRecordset::RecordCount() const
{
    return long(count_);
}

bool CAdoRecordset::IsEOF() const
{
    return !IsOpen() || position_ >= count_;
}

bool CAdoRecordset::IsBOF() const
{
    return !IsOpen() || position_ < 0 || count_ == 0;
}

bool CAdoRecordset::hasRecord() const
{
    return IsOpen() && position_ >= 0 && position_ < count_;
}

long CAdoRecordset::AbsolutePosition() const
{
    if (!IsOpen())
        return -1;
    if (IsEOF())
        return -3;
    if (IsBOF())
        return -2;
    return long(position_ + 1);
}

long CAdoRecordset::MoveFirst()
{
    return move(0, "MoveFirst");
}

long CAdoRecordset::MoveNext()
{
    if (IsOpen() && IsEOF())
        return fail("MoveNext", MakeLayerError(LayerError::NoCurrentRecord, "EOF"));
    return move(position_ + 1, "MoveNext");
}

long CAdoRecordset::MovePrevious()
{
    if (IsOpen() && IsBOF())
        return fail("MovePrevious", MakeLayerError(LayerError::NoCurrentRecord, "BOF"));
    return move(position_ - 1, "MovePrevious");
}

long CAdoRecordset::move(long long target, const char *operation)
{
    try {
        DbFaultInjection::Point("Recordset");
        if (!IsOpen())
            return fail(operation, MakeLayerError(LayerError::RecordsetClosed, std::string()));
        if (target >= 0 && target < count_) {
            DbError error;
            if (!load(target, error))
                return fail(operation, error);
        }
        position_ = std::clamp(target, -1LL, count_);
        return ResultCode::Success;
    } catch (...) {
        try {
            lastError_ = FormatText(Gbk::literal(DbText::RecordsetUnexpected).c_str(), operation);
        } catch (...) {
        }
        return ResultCode::GeneralFailure;
    }
}

long CAdoRecordset::fail(const char *operation, const DbError &error)
{
    lastError_ = FormatText(Gbk::literal(DbText::RecordsetFailed).c_str(), operation)
            + DbErrorBlock(error);
    return error.code;
}

bool CAdoRecordset::load(long long index, DbError &error)
{
    const long long windowEnd = windowFirst_ + (long long)(window_.size());
    if (index >= windowFirst_ && index < windowEnd)
        return true;

    std::vector<DbRow> rows;
    if (!window_.empty() && index == windowEnd && source_->continuesAt(windowEnd)) {
        if (!source_->read(windowEnd, ForwardChunk, rows, error))
            return false;
        for (DbRow &row : rows)
            window_.push_back(std::move(row));
        while ((long long)(window_.size()) > WindowLimit) {
            window_.pop_front();
            ++windowFirst_;
        }
    } else if (!window_.empty() && index < windowFirst_ && index >= windowFirst_ - BackwardChunk) {
        const long long start = std::max(0LL, windowFirst_ - BackwardChunk);
        if (!source_->read(start, windowFirst_ - start, rows, error))
            return false;
        if ((long long)(rows.size()) != windowFirst_ - start)
            return rowsMissing(index, error);
        for (auto it = rows.rbegin(); it != rows.rend(); ++it)
            window_.push_front(std::move(*it));
        windowFirst_ = start;
        while ((long long)(window_.size()) > WindowLimit)
            window_.pop_back();
    } else {
        const long long start =
                index < windowFirst_ ? std::max(0LL, index + 1 - BackwardChunk) : index;
        if (!source_->read(start, index < windowFirst_ ? BackwardChunk : ForwardChunk, rows, error))
            return false;
        window_.assign(std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
        windowFirst_ = start;
    }

    if (index < windowFirst_ || index >= windowFirst_ + (long long)(window_.size()))
        return rowsMissing(index, error);
    return true;
}

bool CAdoRecordset::rowsMissing(long long index, DbError &error) const
{
    error = MakeLayerError(
            LayerError::RowsMissing,
            FormatText(Gbk::literal(DbText::RowsMissingDetail).c_str(), index + 1, count_));
    return false;
}

int CAdoRecordset::FieldCount() const
{
    return int(fields_.size());
}

std::string CAdoRecordset::FieldName(int index) const
{
    return index >= 0 && index < FieldCount() ? fields_[std::size_t(index)].name : std::string();
}

int CAdoRecordset::FieldType(int index) const
{
    return index >= 0 && index < FieldCount() ? fields_[std::size_t(index)].type : 0;
}

int CAdoRecordset::FieldIndex(const std::string &name) const
{
    for (int i = 0; i < FieldCount(); ++i) {
        if (fields_[std::size_t(i)].name == name)
            return i;
    }
    return -1;
}

bool CAdoRecordset::IsDeleted() const
{
    return hasRecord() && window_[std::size_t(position_ - windowFirst_)].empty();
}

CAdoValue CAdoRecordset::Value(int index) const
{
    if (!hasRecord() || index < 0 || index >= FieldCount())
        return CAdoValue();
    const DbRow &row = window_[std::size_t(position_ - windowFirst_)];
    if (std::size_t(index) >= row.size())
        return CAdoValue(); // a hole
    return CAdoValue(row[std::size_t(index)], fields_[std::size_t(index)].type);
}

CAdoValue CAdoRecordset::Value(const std::string &name) const
{
    return Value(FieldIndex(name));
}
