#pragma once

// Finds a post by its ID in the post tables of every top-level room.

#include "browser/rooms/RoomModel.h"

#include <string>
#include <vector>

struct PostLookup
{
    enum Outcome { Found, NotFound, OpenFailed };
    Outcome outcome = NotFound;
    int rootIndex = -1; // of the first table that holds the post
    PostRowInfo info; // its row as the post list would show it: title, ID, room name, roomid
    std::string roomid; // the row's roomid as text
    // Tables that could not be asked (GBK), named as the database looked for them.
    std::vector<std::string> failedTables;
    std::string report; // the database layer's report of the last failure (GBK)
};

PostLookup FindPostById(const RoomModel &rooms, const std::string &connectionString,
                        long long topicid);

// The record of the room a post of that top-level room belongs to: the first record of
// that top-level room with this roomid, else the first of any. -1 when none has it.
int FindRoomRecord(const RoomModel &rooms, int rootIndex, const std::string &roomid);
