#pragma once

// The bundled sample archive: posts made up for this project, spread over the rooms
// of the shipped tree configuration, written as GBK HTML pages (older posts) and GBK
// XML files with an XSL stylesheet (newer posts) where the configuration's post
// location entries point. The same seed always gives the same archive.

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

// Writes every post file and the shared stylesheets and images below the program
// folder. Returns the number of files written; errors go to `why`.
int WriteSampleArchive(const std::vector<SamplePost> &posts, const std::string &sampleRoot,
                       std::string &why);

// The INSERT statements that put the posts into their tables.
std::vector<std::string> SampleInsertStatements(const std::vector<SamplePost> &posts);

// Puts the posts into the database of the connection string when all their tables are
// empty (a new archive); an archive that holds posts is left alone. Returns the number
// of rows inserted, or -1 with the reason in `why`.
int FillSampleDatabase(const std::vector<SamplePost> &posts, const std::string &connectionString,
                       std::string &why);
