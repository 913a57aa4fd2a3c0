#pragma once

// ScanDirectory: the depth-first walk of an import. A folder's files that match the
// pattern come first (sorted by name, byte order), then its subfolders. Only regular
// files are handed on (a FIFO or a device is never opened), a folder met twice through
// links is not entered again, and a folder that cannot be listed is reported once.

#include "browser/RoomModel.h"

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
};

class WalkVisitor
{
public:
    virtual ~WalkVisitor() = default;
    virtual void VisitFile(WalkFile &&file) = 0;
    // A folder that cannot be listed: the message line for it.
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
    void scan(const std::string &directory, const std::string &diskDirectory, TreeItem node,
              WalkVisitor &visitor);

    const RoomModel *rooms_;
    std::string pattern_;
    const std::atomic<bool> &keepRunning_;
    std::set<std::pair<std::uint64_t, std::uint64_t>> seen_;
};
