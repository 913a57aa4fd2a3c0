#pragma once

// The path check of ImportFile: the path the browser will compute for a post must be
// the file's real path, or the post will not show. Both are compared as paths ("\" and
// "/" alike). The post location table is prepared once, so the check takes no lock and
// may run on any thread.

#include "PostExtraction.h"

#include <cstdint>
#include <memory>
#include <string>

class PostLocations;
class RoomModel;

class PostPathCheck
{
public:
    // The top-level room is the first whose table equals `table`; with none, no post
    // location entry applies. rooms may be null only when the check is off.
    PostPathCheck(RoomModel *rooms, const std::string &table, bool enabled);
    ~PostPathCheck();
    PostPathCheck(const PostPathCheck &) = delete;
    PostPathCheck &operator=(const PostPathCheck &) = delete;

    bool enabled() const { return locations_ != nullptr; }

    // The warning line when the paths differ; empty when they agree or the check is off.
    std::string Check(const PostFields &fields) const;

    // The topicid text read as a decimal number, saturated to 32 bits.
    static std::uint32_t TopicidNumber(const std::string &text);

private:
    std::unique_ptr<const PostLocations> locations_; // null when the check is off
};
