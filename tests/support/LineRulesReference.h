#pragma once

// The line reading rules of CTextLineFile applied to a whole text in memory,
// without read-ahead chunks or seeking: the yardstick for the real reader.

#include <cstdint>
#include <string>
#include <vector>

struct ReferenceLine
{
    std::string text;
    std::int32_t length;
    std::int32_t status;
    bool operator==(const ReferenceLine &) const = default;
};

// Capacity must be at least 2, so that every call makes progress.
inline std::vector<ReferenceLine> referenceLines(const std::string &data, std::int32_t capacity)
{
    std::vector<ReferenceLine> lines;
    std::size_t pos = 0;
    const std::size_t limit = std::size_t(capacity - 1);
    for (;;) {
        if (pos >= data.size()) {
            lines.push_back({std::string(), -1, 1});
            return lines;
        }
        std::string stored;
        std::int32_t status = 0;
        while (pos < data.size()) {
            if (data[pos] == '\n') {
                ++pos;
                if (!stored.empty() && stored.back() == '\r')
                    stored.pop_back();
                break;
            }
            if (stored.size() == limit) {
                if (pos + 1 < data.size() && data[pos] == '\r' && data[pos + 1] == '\n')
                    pos += 2;
                else
                    status = 111;
                break;
            }
            stored += data[pos++];
        }
        if (pos >= data.size())
            status = 1;
        lines.push_back({stored, std::int32_t(stored.size()), status});
        if (status == 1)
            return lines;
    }
}
