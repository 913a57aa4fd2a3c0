#include "PostPathCheck.h"

#include "ImportTexts.h"
#include "browser/rooms/RoomModel.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/TextFormat.h"

#include <limits>

PostPathCheck::PostPathCheck(RoomModel *rooms, const std::string &table, bool enabled)
    : rooms_(rooms)
    , enabled_(enabled && rooms)
{
    if (!enabled_)
        return;
    std::vector<std::string> names, tables;
    rooms_->ListRootRooms(names, tables, nullptr);
    rootIndex_ = std::int32_t(tables.size());
    for (std::size_t i = 0; i < tables.size(); ++i) {
        if (tables[i] == table) {
            rootIndex_ = std::int32_t(i);
            break;
        }
    }
}

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
    if (!enabled_)
        return std::string();
    const std::string built = FileSystem::normalize(rooms_->GetExpectedPostPath(
            TopicidNumber(fields.topicid), rootIndex_, fields.roomid, fields.title));
    const std::string real = FileSystem::normalize(fields.path);
    if (built == real)
        return std::string();
    return CutMessageLine(FormatText(Gbk::literal(ImportText::PathMismatch).c_str(),
                                     FileTitleOf(FileNameOf(fields.path)).c_str(), built.c_str(),
                                     real.c_str()));
}
