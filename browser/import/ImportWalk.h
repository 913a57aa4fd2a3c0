#pragma once

// ScanDirectory: the depth-first walk of an import. A folder's files that match the
// pattern come first (sorted by name, byte order), then its subfolders. Entries that are
// not regular files (a FIFO, a device, a link that leads nowhere) are handed on marked as
// such, never to be opened; a folder met twice through links is not entered again; a
// link to a folder outside the import folder is not followed; and a folder that cannot be
// listed or is not followed is reported once.

#include "browser/rooms/RoomModel.h"

#include <atomic>
#include <cstdint>
#include <set>
#include <string>
#include <utility>

struct WalkFile
{
    std::string path; // GBK, "/" separated
    std::string diskPath; // the bytes to open
    std::string fileTitle; // name without its last extension
    TreeItem node = nullptr; // roomid mode 3: the folder's room
    bool regular = true; // false: not to be opened
    int linkError = 0; // not regular: the errno of a link that leads nowhere, else 0
};

class WalkVisitor
{
public:
    virtual ~WalkVisitor() = default;
    virtual void VisitFile(WalkFile &&file) = 0;
    // A folder that cannot be listed, or is not followed: the message line for it.
    virtual void VisitUnreadableFolder(std::string &&line) = 0;
};

class ImportWalker
{
public:
    // rooms may be null when no roomid-mode-3 node is ever passed.
    ImportWalker(const RoomModel *rooms, std::string pattern, const std::atomic<bool> &keepRunning);

    // Walks directory (GBK, with or without a final separator). node: the room of the
    // folder in roomid mode 3 (subfolders must name its child rooms), else null.
    void ScanDirectory(const std::string &directory, TreeItem node, WalkVisitor &visitor);

private:
    // Whether a folder's real location lies in the import folder (or is it).
    bool leadsInside(const std::string &diskPath) const;
    void scan(const std::string &directory, const std::string &diskDirectory, TreeItem node,
              WalkVisitor &visitor);

    const RoomModel *rooms_;
    std::string pattern_;
    const std::atomic<bool> &keepRunning_;
    std::set<std::pair<std::uint64_t, std::uint64_t>> seen_;
    std::string root_; // the import folder's real location, disk bytes
};
