#include "PostSandbox.h"

#include "common/FileSystem.h"

#include <algorithm>

namespace {
std::string parentOf(const std::string &diskPath)
{
    const std::size_t slash = diskPath.rfind('/');
    if (slash == std::string::npos)
        return std::string();
    return slash == 0 ? std::string("/") : diskPath.substr(0, slash);
}

bool isBelow(const std::string &path, const std::string &root)
{
    return path.size() > root.size() + 1 && path.compare(0, root.size(), root) == 0
            && path[root.size()] == '/';
}
} // namespace

QUrl FileUrlOfDiskPath(const std::string &diskPath)
{
    const QByteArray encoded =
            QByteArray(diskPath.data(), qsizetype(diskPath.size())).toPercentEncoding("/");
    return QUrl::fromEncoded("file://" + encoded, QUrl::StrictMode);
}

std::string DiskPathOfFileUrl(const QUrl &url)
{
    if (!url.isValid() || url.scheme() != QLatin1String("file") || !url.host().isEmpty())
        return std::string();
    const QByteArray bytes =
            QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (bytes.isEmpty() || bytes.contains('\0'))
        return std::string();
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

PostSandbox::PostSandbox(const std::string &postPath, const std::string &archiveFolder)
{
    const std::string disk = FileSystem::toDiskPath(postPath);
    document_ = FileSystem::resolveDiskPath(disk);
    if (document_.empty())
        document_ = disk;
    url_ = FileUrlOfDiskPath(document_);

    // The post must really lie in its area: the archive folder or, with none known, the
    // folder it was looked up in. A post file or room folder that is a link out of it
    // would show whatever it points to.
    const std::string lookedUpIn = disk.find('/') == std::string::npos ? "." : parentOf(disk);
    const std::string area = FileSystem::resolveDiskPath(
            archiveFolder.empty() ? lookedUpIn : FileSystem::toDiskPath(archiveFolder));
    holdsDocument_ = !area.empty() && area != "/" && isBelow(document_, area);
    if (!holdsDocument_)
        return;
    // Its resources come from its own folder and the archive folder; the file system's
    // root would open every file to every post.
    for (std::string root : {parentOf(document_), area}) {
        if (root.empty() || root == "/")
            continue;
        if (std::find(roots_.begin(), roots_.end(), root) == roots_.end())
            roots_.push_back(std::move(root));
    }
}

bool PostSandbox::IsDocument(const QUrl &request) const
{
    const std::string disk = DiskPathOfFileUrl(request.adjusted(QUrl::RemoveFragment));
    if (disk.empty() || !holdsDocument_)
        return false;
    const std::string resolved = FileSystem::resolveDiskPath(disk);
    return (resolved.empty() ? disk : resolved) == document_;
}

bool PostSandbox::Allows(const QUrl &request, PostResource kind) const
{
    if (kind == PostResource::Document)
        return IsDocument(request);
    if (kind == PostResource::Other)
        return false;
    const std::string resolved = FileSystem::resolveDiskPath(DiskPathOfFileUrl(request));
    if (resolved.empty())
        return false;
    return std::any_of(roots_.begin(), roots_.end(),
                       [&](const std::string &root) { return isBelow(resolved, root); });
}
