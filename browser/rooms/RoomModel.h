#pragma once

// The room model of Kestrel: the tree configuration file read into room records,
// a node tree of its own (so a worker thread can use it without touching a
// widget), the post tables and the post location table, with their look-ups.
// After loading everything is read-only except the post location table, which
// every post path computation reloads under one mutex.

#include "PostPathContext.h"

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class QDomElement;

struct RoomNode
{
    const RoomNode *parent = nullptr;
    std::vector<const RoomNode *> children;
    std::string label; // GBK
    int recordIndex = -1;
};
using TreeItem = const RoomNode *;

struct RoomRecord
{
    std::int32_t rootIndex = 0; // readers use its low 16 bits
    TreeItem treeItem = nullptr;
    std::string roomid; // GBK, kept whole
    std::string roomname; // GBK, kept whole
};

struct PostRange
{
    std::uint32_t low = 0;
    std::uint32_t high = 0; // both bounds inclusive, compared unsigned
    std::string pathTemplate;
};

// The four values of a post list row that locate its file.
struct PostRowInfo
{
    std::string title;
    std::string topicidText; // read with base prefixes: "0x" hexadecimal, "0" octal
    std::string roomname;
    std::uint32_t roomid = 0; // room ids may be 2^31 or more
};

class RoomModel
{
public:
    RoomModel();
    ~RoomModel();
    RoomModel(const RoomModel &) = delete;
    RoomModel &operator=(const RoomModel &) = delete;

    // The configuration path: the program directory followed by the argument, or by
    // "Configs\InitTree.xml" when there is none.
    static std::string TreeConfigPath(const std::optional<std::string> &argument);

    // Loads the file; called once. On failure returns false with the reason (GBK: the
    // parser's, or the room whose post table is no table name) and the model stays empty.
    bool LoadTreeConfig(const std::string &path, std::string *reason = nullptr);
    // What the loaded file holds that cannot work, one GBK line each: rooms whose id is no
    // room number, post location entries left out or cut. The rest of the file is used.
    const std::vector<std::string> &LoadWarnings() const { return warnings_; }

    std::string GetConnectionString() const;
    std::string GetRootTable(std::int32_t rootIndex) const;
    RoomRecord GetRoomRecord(int index) const;
    RoomRecord GetRoomRecordOfItem(TreeItem item) const;
    void ListRootRooms(std::vector<std::string> &names, std::vector<std::string> &tables,
                       std::vector<std::string> *roomids) const;
    void ListSubRooms(std::int32_t rootIndex, std::vector<std::string> &paths,
                      std::vector<std::string> &roomids) const;
    std::string FindRoomName(const std::string &roomid) const;
    // 0 when the room was found, 1 when not (outputs untouched).
    int BuildRoomPaths(const std::string &roomid, std::string &namePath, std::string &idPath) const;
    // Reloads the post location table from a top-level room; returns its size.
    int LoadPostRanges(std::int32_t rootIndex);
    TreeItem FindChildItem(TreeItem parent, const std::string &text) const;

    // The expected file of a listed post; empty when no post location entry holds it.
    // archiveFolder, when given, receives the folder the entry files its posts under.
    std::string LocatePostFile(const PostRowInfo &row, std::int32_t rootIndex,
                               std::string *archiveFolder = nullptr);
    // The expected file of a post being imported; the room's name when no entry holds it.
    std::string GetExpectedPostPath(std::uint32_t topicid, std::int32_t rootIndex,
                                    const std::string &roomid, const std::string &title);

    // The post location table of a top-level room, parsed (malformed entries left out,
    // as LoadPostRanges does), without loading it.
    std::vector<PostRange> ParsePostRanges(std::int32_t rootIndex) const;

    // A copy of the post location table as last loaded.
    std::vector<PostRange> PostRanges() const;

    const std::vector<TreeItem> &TopLevelItems() const { return topLevel_; }
    TreeItem StartRoom() const { return startRoom_; }
    std::size_t RecordCount() const { return records_.size(); }
    std::size_t TableCount() const { return tables_.size(); }

    static std::uint32_t ParseTopicId(const std::string &text);

private:
    struct RoomElement; // one "帖子类型" element as the file holds it

    static bool readRoomElement(const QDomElement &element, bool topLevel, int depth,
                                std::string &reason, RoomElement &room);
    static void noteDoubts(const RoomElement &room, std::vector<std::string> &warnings);
    static void listSubRooms(const RoomElement &room, const std::string &parentPath,
                             std::vector<std::string> &paths, std::vector<std::string> &roomids);
    void buildRoom(const RoomElement &element, std::int32_t rootIndex, RoomNode *parent);
    int loadPostRangesLocked(std::int32_t rootIndex);
    std::string expandPostPath(PostPathContext &context, const std::string &roomidText,
                               std::int32_t rootIndex, bool *matched,
                               std::string *archiveFolder = nullptr);
    const RoomElement *rootElement(std::int32_t rootIndex) const;

    std::vector<RoomElement> rootElements_; // every level-1 room element, in document order
    std::vector<std::string> tables_;
    std::vector<RoomRecord> records_;
    std::deque<RoomNode> nodes_;
    std::vector<TreeItem> topLevel_;
    TreeItem startRoom_ = nullptr;
    std::string connectionString_;
    std::vector<std::string> warnings_;

    mutable std::mutex pathMutex_;
    std::vector<PostRange> ranges_;
};
