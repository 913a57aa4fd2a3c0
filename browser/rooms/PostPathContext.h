#pragma once

#include <cstdint>
#include <string>

// The values a post path template draws on; filled by the room model's post path
// look-ups before a postKind expansion. Texts are GBK and kept whole.
struct PostPathContext
{
    std::uint32_t topicid = 0;
    std::uint32_t roomid = 0;
    std::string roomname;
    std::string title;
    std::string roomNamePath; // room names from the top-level room down, joined by "\"
    std::string roomIdPath; // the same with the rooms' ids
};
