#include "ImportWalk.h"

#include "ImportTexts.h"
#include "PostExtraction.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/TextFormat.h"

#include <vector>

ImportWalker::ImportWalker(const RoomModel *rooms, std::string pattern,
                           const std::atomic<bool> &keepRunning)
    : rooms_(rooms)
    , pattern_(std::move(pattern))
    , keepRunning_(keepRunning)
{
}

void ImportWalker::ScanDirectory(const std::string &directory, TreeItem node, WalkVisitor &visitor)
{
    std::string dir = FileSystem::normalize(directory);
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    seen_.clear();
    const std::string disk = FileSystem::toDiskPath(dir);
    root_ = FileSystem::resolveDiskPath(disk);
    scan(dir, disk, node, visitor);
}

bool ImportWalker::leadsInside(const std::string &diskPath) const
{
    const std::string real = FileSystem::resolveDiskPath(diskPath);
    if (real.empty() || root_.empty())
        return false;
    return root_ == "/" || real == root_
            || (real.size() > root_.size() && real.compare(0, root_.size(), root_) == 0
                && real[root_.size()] == '/');
}

void ImportWalker::scan(const std::string &directory, const std::string &diskDirectory,
                        TreeItem node, WalkVisitor &visitor)
{
    std::vector<FileSystem::DiskEntry> entries;
    std::uint64_t device = 0, inode = 0;
    std::error_code error = FileSystem::diskIdentity(diskDirectory, device, inode);
    if (!error && !seen_.emplace(device, inode).second)
        return; // reached again through a link: its files are on their way already
    if (!error)
        error = FileSystem::listDiskDirectory(diskDirectory, entries);
    if (error) {
        visitor.VisitUnreadableFolder(CutMessageLine(
                FormatText(Gbk::literal(ImportText::FolderUnreadable).c_str(), directory.c_str(),
                           long(error.value()), FileSystem::errorReason(error).c_str())));
        return;
    }
    const std::string diskPrefix = diskDirectory.empty() || diskDirectory.back() == '/'
            ? diskDirectory
            : diskDirectory + '/';

    const bool matchAll = pattern_ == "*" || pattern_ == "*.*";
    for (const FileSystem::DiskEntry &entry : entries) {
        if (!keepRunning_.load(std::memory_order_relaxed))
            return;
        if (entry.type == FileSystem::DiskEntryType::Directory
            || (!matchAll && !FileSystem::wildcardMatch(pattern_, entry.name)))
            continue;
        visitor.VisitFile({directory + entry.name, diskPrefix + entry.diskName,
                           FileTitleOf(entry.name), node,
                           entry.type == FileSystem::DiskEntryType::Regular, entry.linkError});
    }
    for (const FileSystem::DiskEntry &entry : entries) {
        if (!keepRunning_.load(std::memory_order_relaxed))
            return;
        if (entry.type != FileSystem::DiskEntryType::Directory)
            continue;
        if (entry.isLink && !leadsInside(diskPrefix + entry.diskName)) {
            visitor.VisitUnreadableFolder(CutMessageLine(
                    FormatText(Gbk::literal(ImportText::LinkLeadsOut).c_str(),
                               (directory + entry.name + '/').c_str(),
                               FileSystem::fromDiskName(
                                       FileSystem::resolveDiskPath(diskPrefix + entry.diskName))
                                       .c_str())));
            continue;
        }
        TreeItem child = nullptr;
        if (node) {
            child = rooms_ ? rooms_->FindChildItem(node, entry.name) : nullptr;
            if (!child)
                continue; // a folder that names no room of this branch is passed over
        }
        scan(directory + entry.name + '/', diskPrefix + entry.diskName, child, visitor);
    }
}
