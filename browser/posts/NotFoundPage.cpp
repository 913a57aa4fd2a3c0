#include "NotFoundPage.h"

#include "browser/PostPlaceholder.h"
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

std::string BuildNotFoundPage(const std::string &missingPath, std::string &why)
{
    const std::string templatePath = NotFoundTemplatePath();
    std::string page;
    if (const std::error_code error = FileSystem::readWholeFile(templatePath, page)) {
        why = templatePath + ": " + FileSystem::errorText(error);
        return std::string();
    }
    std::string expanded;
    std::string context = missingPath;
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
