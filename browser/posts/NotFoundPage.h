#pragma once

#include <string>

// The page shown in place of a missing post: "Configs/NoPost.Bk" expanded with the
// missing path (escaped) into "Configs/NoPost.htm". Returns the page's full path (GBK), or an
// empty text with the reason in `why` when the template cannot be read or the page
// cannot be written.
std::string BuildNotFoundPage(const std::string &missingPath, std::string &why);

// "&", "<", ">" and quotes of GBK text as character references, for text or an
// attribute value of a page.
std::string EscapeHtmlText(const std::string &text);

std::string NotFoundPagePath();
std::string NotFoundTemplatePath();
std::string StartPagePath();
