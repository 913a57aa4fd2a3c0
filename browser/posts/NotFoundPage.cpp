#include "NotFoundPage.h"

#include "browser/rooms/PostPlaceholder.h"
#include "common/AppDirectory.h"
#include "common/FileSystem.h"
#include "common/TemplateExpansion.h"

std::string NotFoundTemplatePath()
{
    return AppDirectoryWithSlash() + "Configs/NoPost.Bk";
}
std::string NotFoundPagePath()
{
    return AppDirectoryWithSlash() + "Configs/NoPost.htm";
}
std::string StartPagePath()
{
    return AppDirectoryWithSlash() + "Configs/Add0Post.htm";
}

std::string EscapeHtmlText(const std::string &text)
{
    // These bytes are never the trail byte of a GBK character, so a byte scan is safe.
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&#39;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::string BuildNotFoundPage(const std::string &missingPath, std::string &why)
{
    const std::string templatePath = NotFoundTemplatePath();
    std::string page;
    if (const std::error_code error = FileSystem::readWholeFile(templatePath, page)) {
        why = templatePath + ": " + FileSystem::errorText(error);
        return std::string();
    }
    std::string expanded;
    // The path may hold a title or room name from the database: it is shown as text,
    // with the separators of this system.
    std::string context = EscapeHtmlText(FileSystem::normalize(missingPath));
    ExpandTemplate(page, expanded, &context, notFoundKind, ResolvePostPlaceholder);

    const std::string target = NotFoundPagePath();
    if (FileSystem::isReadOnly(target))
        FileSystem::clearReadOnly(target);
    if (const std::error_code error = FileSystem::writeWholeFile(target, expanded)) {
        why = target + ": " + FileSystem::errorText(error);
        return std::string();
    }
    return target;
}
