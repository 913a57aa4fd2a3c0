#include "PostPlaceholder.h"

#include "PostPathContext.h"
#include "common/AppDirectory.h"
#include "common/FileSystem.h"
#include "common/IdPlaceholder.h"
#include "common/PlaceholderNotifier.h"
#include "common/TemplateExpansion.h"

namespace {

bool resolvePostSet(const PostPathContext &post, const std::string &placeholder, std::string &value)
{
    if (IsIdPlaceholder(placeholder)) {
        value = IdPlaceholderValue(std::to_string(post.topicid), IdPlaceholderCount(placeholder));
    } else if (placeholder == "|ROOMID|") {
        value = std::to_string(post.roomid);
    } else if (placeholder == "|ROOMNAME|") {
        value = post.roomname;
    } else if (placeholder == "|TITLE|") {
        value = post.title;
    } else if (placeholder == "|ROOMID_PATH|") {
        value = post.roomIdPath;
    } else if (placeholder == "|ROOMNAME_PATH|") {
        value = post.roomNamePath;
    } else {
        return false;
    }
    return true;
}

bool resolveCommonSet(const std::string &placeholder, std::string &value)
{
    if (placeholder == "|APP_PATH|")
        value = AppDirectory();
    else if (placeholder == "|NEWLINE|")
        value = "\r";
    else if (placeholder == "|ENTER|")
        value = "\n";
    else if (placeholder == "|TAB|")
        value = "\t";
    else
        return false;
    return true;
}

// Marks where the first post placeholder stood; no path holds this byte.
constexpr char PostValueMark = '\x01';

int resolveArchivePart(void *, std::int32_t, const std::string &placeholder, std::string &value)
{
    const PostPathContext probe;
    if (resolvePostSet(probe, placeholder, value)) {
        value.assign(1, PostValueMark);
        return PlaceholderResolved;
    }
    // Unknown names were reported when the post's own path was expanded.
    return resolveCommonSet(placeholder, value) ? PlaceholderResolved : PlaceholderUnknown;
}

} // namespace

std::string PostArchiveFolder(const std::string &pathTemplate)
{
    std::string expanded;
    ExpandTemplate(pathTemplate, expanded, nullptr, postKind, resolveArchivePart);
    const std::size_t mark = expanded.find(PostValueMark);
    if (mark != std::string::npos)
        expanded.resize(mark);
    const std::size_t separator = FileSystem::lastSeparator(expanded);
    // "/home/u/Lumora_|ROOMID|/..." names no folder of its own: cutting at the separator
    // before the placeholder would give the whole home folder.
    if (separator == std::string::npos || (mark != std::string::npos && separator + 1 != mark))
        return std::string();
    return FileSystem::normalize(expanded.substr(0, separator));
}

int ResolvePostPlaceholder(void *context, std::int32_t kind, const std::string &placeholder,
                           std::string &value)
{
    if (kind == notFoundKind && placeholder == "|NOT_FOUND_PATH|") {
        if (const auto *missingPath = static_cast<const std::string *>(context))
            value = *missingPath;
        return PlaceholderResolved;
    }
    if (kind == postKind && context
        && resolvePostSet(*static_cast<const PostPathContext *>(context), placeholder, value))
        return PlaceholderResolved;
    if (resolveCommonSet(placeholder, value))
        return PlaceholderResolved;
    NotifyUnknownPlaceholder(placeholder);
    return PlaceholderUnknown;
}
