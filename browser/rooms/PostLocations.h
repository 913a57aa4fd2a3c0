#pragma once

// The post location table of one top-level room, prepared for many look-ups (the path
// check of an import): the entries parsed once, and the first entry in table order that
// holds a topicid found by a binary search over disjoint spans. The rooms' names and
// paths are looked up once as well. Nothing changes after construction, so any thread may
// use it without a lock; the room model it was made from is not consulted again.

#include "PostPathContext.h"
#include "RoomModel.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class PostLocations
{
public:
    // rooms: the room tree; rootIndex: the top-level room whose table applies (none
    // applies when there is no such room).
    PostLocations(const RoomModel &rooms, std::int32_t rootIndex);

    // The first entry whose range holds the topicid, or nullptr.
    const PostRange *Find(std::uint32_t topicid) const;

    // As RoomModel::GetExpectedPostPath: the expected file of a post being imported; the
    // room's name when no entry holds its topicid.
    std::string ExpectedPostPath(std::uint32_t topicid, const std::string &roomid,
                                 const std::string &title) const;

    std::size_t RangeCount() const { return ranges_.size(); }

private:
    struct Span
    {
        std::uint32_t low;
        std::uint32_t high; // inclusive
        std::size_t range; // index into ranges_
    };
    struct Room
    {
        std::string name;
        std::string namePath;
        std::string idPath;
    };

    std::vector<PostRange> ranges_;
    std::vector<Span> spans_; // sorted, disjoint
    std::unordered_map<std::string, Room> rooms_; // by roomid, the first record of each
};
