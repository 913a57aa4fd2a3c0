#include "MessageLineModel.h"

#include "common/Codec.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {
constexpr std::size_t ChunkBytes = 1 << 20;
// A list view counts rows in int; lines beyond that are not kept.
constexpr std::size_t MaxLines = std::size_t(std::numeric_limits<int>::max()) - 1;
} // namespace

MessageLineModel::MessageLineModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

MessageLineModel::~MessageLineModel() = default;

int MessageLineModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(entries_.size());
}

QVariant MessageLineModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(entries_.size()))
        return QVariant();
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return Gbk::toQString(Line(index.row()));
    return QVariant();
}

void MessageLineModel::store(std::string_view line)
{
    if (chunks_.empty() || chunkUsed_ + line.size() > chunkSizes_.back()) {
        const std::size_t size = std::max(ChunkBytes, line.size());
        chunks_.push_back(std::make_unique<char[]>(size));
        chunkSizes_.push_back(size);
        chunkUsed_ = 0;
    }
    if (!line.empty())
        std::memcpy(chunks_.back().get() + chunkUsed_, line.data(), line.size());
    entries_.push_back({std::uint32_t(chunks_.size() - 1), std::uint32_t(chunkUsed_),
                        std::uint32_t(line.size())});
    chunkUsed_ += line.size();
}

void MessageLineModel::Append(std::string_view gbkLine)
{
    if (entries_.size() >= MaxLines)
        return;
    const int row = int(entries_.size());
    beginInsertRows(QModelIndex(), row, row);
    store(gbkLine);
    endInsertRows();
}

void MessageLineModel::AppendBlock(const std::vector<std::string> &gbkLines)
{
    const std::size_t room = MaxLines - std::min(MaxLines, entries_.size());
    const std::size_t count = std::min(room, gbkLines.size());
    if (count == 0)
        return;
    const int first = int(entries_.size());
    beginInsertRows(QModelIndex(), first, first + int(count) - 1);
    for (std::size_t i = 0; i < count; ++i)
        store(gbkLines[i]);
    endInsertRows();
}

void MessageLineModel::Clear()
{
    beginResetModel();
    std::vector<Entry>().swap(entries_);
    std::vector<std::unique_ptr<char[]>>().swap(chunks_);
    std::vector<std::size_t>().swap(chunkSizes_);
    chunkUsed_ = 0;
    endResetModel();
}

std::string_view MessageLineModel::Line(int row) const
{
    const Entry &entry = entries_[std::size_t(row)];
    return std::string_view(chunks_[entry.chunk].get() + entry.offset, entry.length);
}

std::size_t MessageLineModel::ByteCount() const
{
    std::size_t total = entries_.capacity() * sizeof(Entry);
    for (std::size_t size : chunkSizes_)
        total += size;
    return total;
}
