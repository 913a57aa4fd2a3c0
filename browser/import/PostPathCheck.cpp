#include "PostPathCheck.h"

#include "ImportTexts.h"
#include "browser/rooms/PostLocations.h"
#include "browser/rooms/RoomModel.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/TextFormat.h"

#include <limits>

PostPathCheck::PostPathCheck(RoomModel *rooms, const std::string &table, bool enabled)
{
    if (!enabled || !rooms)
        return;
    std::vector<std::string> names, tables;
    rooms->ListRootRooms(names, tables, nullptr);
    auto rootIndex = std::int32_t(tables.size());
    for (std::size_t i = 0; i < tables.size(); ++i) {
        if (tables[i] == table) {
            rootIndex = std::int32_t(i);
            break;
        }
    }
    locations_ = std::make_unique<const PostLocations>(*rooms, rootIndex);
}

PostPathCheck::~PostPathCheck() = default;

std::uint32_t PostPathCheck::TopicidNumber(const std::string &text)
{
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + std::uint64_t(c - '0');
        if (value > std::numeric_limits<std::uint32_t>::max())
            return std::numeric_limits<std::uint32_t>::max();
    }
    return std::uint32_t(value);
}

std::string PostPathCheck::Check(const PostFields &fields) const
{
    if (!locations_)
        return std::string();
    const std::string built = FileSystem::normalize(locations_->ExpectedPostPath(
            TopicidNumber(fields.topicid), fields.roomid, fields.title));
    const std::string real = FileSystem::normalize(fields.path);
    if (built == real)
        return std::string();
    return CutMessageLine(FormatText(Gbk::literal(ImportText::PathMismatch).c_str(),
                                     FileTitleOf(FileNameOf(fields.path)).c_str(), built.c_str(),
                                     real.c_str()));
}
