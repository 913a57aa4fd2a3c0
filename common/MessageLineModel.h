#pragma once

#include <QAbstractListModel>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The lines of a message list, kept as GBK bytes packed into large chunks with a
// small index per line: a million lines cost little more than their texts. A line is
// converted for display only while it is on screen.
class MessageLineModel : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit MessageLineModel(QObject *parent = nullptr);
    ~MessageLineModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    void Append(std::string_view gbkLine);
    // One model notification for the whole block, however long.
    void AppendBlock(const std::vector<std::string> &gbkLines);
    void Clear();

    std::string_view Line(int row) const;
    std::size_t ByteCount() const;

private:
    struct Entry
    {
        std::uint32_t chunk;
        std::uint32_t offset;
        std::uint32_t length;
    };
    void store(std::string_view line);

    std::vector<std::unique_ptr<char[]>> chunks_;
    std::vector<std::size_t> chunkSizes_;
    std::size_t chunkUsed_ = 0;
    std::vector<Entry> entries_;
};
