#pragma once

// Whether a post row's file is where the room model locates it. A file counts as there
// only when it is a regular file that, after its links are resolved, lies in the archive
// folder of its post location entry (or in the folder it was looked up in when the entry
// names none): the place from which the browser would show it.

#include <cstdint>
#include <string>
#include <unordered_map>

class RoomModel;

class LostFileCheck
{
public:
    LostFileCheck(RoomModel &rooms, std::int32_t rootIndex);

    // True when the row has a located file and it is not there; path then holds where it
    // was looked for. A row that no post location entry holds has no file to miss.
    bool IsLost(long long topicid, std::uint32_t roomid, const std::string &title,
                std::string &path);

private:
    const std::string &roomName(std::uint32_t roomid);
    const std::string &resolvedArea(const std::string &diskFolder);

    RoomModel &rooms_;
    std::int32_t rootIndex_;
    std::unordered_map<std::uint32_t, std::string> roomNames_;
    std::unordered_map<std::string, std::string> areas_; // disk folder -> resolved
};
