#include "LostFileCheck.h"

#include "browser/rooms/RoomModel.h"
#include "common/FileSystem.h"

#include <sys/stat.h>

namespace {

std::string parentOf(const std::string &diskPath)
{
    const std::size_t slash = diskPath.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : diskPath.substr(0, slash);
}

bool isBelow(const std::string &path, const std::string &folder)
{
    return path.size() > folder.size() + 1 && path.compare(0, folder.size(), folder) == 0
            && path[folder.size()] == '/';
}

} // namespace

LostFileCheck::LostFileCheck(RoomModel &rooms, std::int32_t rootIndex)
    : rooms_(rooms)
    , rootIndex_(rootIndex)
{
}

const std::string &LostFileCheck::roomName(std::uint32_t roomid)
{
    const auto found = roomNames_.find(roomid);
    if (found != roomNames_.end())
        return found->second;
    return roomNames_.emplace(roomid, rooms_.FindRoomName(std::to_string(roomid))).first->second;
}

const std::string &LostFileCheck::resolvedArea(const std::string &diskFolder)
{
    const auto found = areas_.find(diskFolder);
    if (found != areas_.end())
        return found->second;
    // A handful of folders per archive; bounded all the same.
    if (areas_.size() > 4096)
        areas_.clear();
    return areas_.emplace(diskFolder, FileSystem::resolveDiskPath(diskFolder)).first->second;
}

bool LostFileCheck::IsLost(long long topicid, std::uint32_t roomid, const std::string &title,
                           std::string &path)
{
    PostRowInfo row;
    row.topicidText = std::to_string(topicid);
    row.roomid = roomid;
    row.roomname = roomName(roomid);
    row.title = title;
    std::string archiveFolder;
    const std::string located = rooms_.LocatePostFile(row, rootIndex_, &archiveFolder);
    if (located.empty())
        return false;
    path = FileSystem::normalize(located);

    const std::string disk = FileSystem::toDiskPath(path);
    const std::string real = FileSystem::resolveDiskPath(disk);
    struct stat status
    {
    };
    if (real.empty() || ::stat(real.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return true;
    // A name that leads out of the archive ("..", a link) is not the post's file.
    const std::string &area = resolvedArea(
            archiveFolder.empty() ? parentOf(disk) : FileSystem::toDiskPath(archiveFolder));
    return area.empty() || area == "/" || !isBelow(real, area);
}
