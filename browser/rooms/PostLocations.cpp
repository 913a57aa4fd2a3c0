#include "PostLocations.h"

#include "PostPlaceholder.h"
#include "common/TemplateExpansion.h"

#include <algorithm>
#include <cstdlib>

PostLocations::PostLocations(const RoomModel &rooms, std::int32_t rootIndex)
    : ranges_(rooms.ParsePostRanges(rootIndex))
{
    // Every bound starts a span; within a span the same entries hold every topicid, so
    // the first of them answers for the whole span. Bounds are 64-bit: high + 1 may be
    // 2^32.
    std::vector<std::uint64_t> bounds;
    bounds.reserve(ranges_.size() * 2);
    for (const PostRange &range : ranges_) {
        if (range.low > range.high)
            continue;
        bounds.push_back(range.low);
        bounds.push_back(std::uint64_t(range.high) + 1);
    }
    std::sort(bounds.begin(), bounds.end());
    bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
    for (std::size_t b = 0; b + 1 < bounds.size(); ++b) {
        const std::uint64_t low = bounds[b];
        for (std::size_t r = 0; r < ranges_.size(); ++r) {
            if (ranges_[r].low <= low && low <= ranges_[r].high) {
                const auto high = std::uint32_t(bounds[b + 1] - 1);
                if (!spans_.empty() && spans_.back().range == r
                    && std::uint64_t(spans_.back().high) + 1 == low)
                    spans_.back().high = high;
                else
                    spans_.push_back({std::uint32_t(low), high, r});
                break;
            }
        }
    }
    for (std::size_t i = 0; i < rooms.RecordCount(); ++i) {
        const std::string roomid = rooms.GetRoomRecord(int(i)).roomid;
        if (rooms_.count(roomid))
            continue;
        Room &room = rooms_[roomid];
        room.name = rooms.FindRoomName(roomid);
        rooms.BuildRoomPaths(roomid, room.namePath, room.idPath);
    }
}

const PostRange *PostLocations::Find(std::uint32_t topicid) const
{
    const auto after =
            std::upper_bound(spans_.begin(), spans_.end(), topicid,
                             [](std::uint32_t id, const Span &span) { return id < span.low; });
    if (after == spans_.begin())
        return nullptr;
    const Span &span = *std::prev(after);
    return topicid <= span.high ? &ranges_[span.range] : nullptr;
}

std::string PostLocations::ExpectedPostPath(std::uint32_t topicid, const std::string &roomid,
                                            const std::string &title) const
{
    PostPathContext context;
    context.title = title;
    context.roomid = static_cast<std::uint32_t>(std::strtoul(roomid.c_str(), nullptr, 10));
    context.topicid = topicid;
    if (const auto room = rooms_.find(roomid); room != rooms_.end()) {
        context.roomname = room->second.name;
        context.roomNamePath = room->second.namePath;
        context.roomIdPath = room->second.idPath;
    }
    const PostRange *range = Find(topicid);
    if (!range)
        return context.roomname;
    std::string path;
    ExpandTemplate(range->pathTemplate, path, &context, postKind, ResolvePostPlaceholder);
    return path;
}
