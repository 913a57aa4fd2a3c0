#pragma once

// The bundled sample archive: posts made up for this project, spread over the rooms
// of the shipped tree configuration, written as GBK HTML pages (older posts) and GBK
// XML files with an XSL stylesheet (newer posts) where the configuration's post
// location entries point. The same seed always gives the same archive. The shipped
// presets (Configs/XmlListInfo.xml) import it with every field.

#include <cstdint>
#include <string>
#include <vector>

class RoomModel;

struct SamplePost
{
    std::uint32_t topicid = 0;
    std::string table; // the post table of the room's top-level room
    std::string roomid; // GBK
    std::string roomname; // GBK
    std::string title; // GBK
    std::string username; // GBK
    int reply = 0;
    std::string createtime; // "YYYY-MM-DD hh:mm:ss"
    std::string path; // where the file lies (GBK)
    bool isXml = false;
};

// The posts of the archive for a loaded room model: the start room gets
// `startRoomPosts` of them, every other room a handful.
std::vector<SamplePost> MakeSamplePosts(RoomModel &rooms, int startRoomPosts = 260);

// Writes every post file where the configuration places it, and the shared stylesheets
// and images beside their folders. Returns the number of files written; errors go to
// `why`.
int WriteSampleArchive(const std::vector<SamplePost> &posts, std::string &why);

// Whether the database of the connection string holds posts in the posts' tables (the
// embedded database is made first when missing): 1 yes, 0 no, -1 with the reason in
// `why`. The rows themselves arrive through `quillery import`.
int SampleDatabaseHoldsPosts(const std::vector<SamplePost> &posts,
                             const std::string &connectionString, std::string &why);
