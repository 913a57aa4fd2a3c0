#include "UrlTemplateTable.h"

#include "GarnetTexts.h"
#include "common/Codec.h"

namespace {
// A bar in the server text must stay a literal bar, not open a placeholder.
std::string escapeBars(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        escaped += c;
        if (c == '|')
            escaped += '|';
    }
    return escaped;
}
} // namespace

UrlTemplateTable BuildUrlTemplateTable(std::string_view serverBase)
{
    const std::string server = escapeBars(serverBase);
    return {{
            {Gbk::literal(GarnetText::HtmlItem), server + GarnetText::HtmlPath, 1, 10000},
            {Gbk::literal(GarnetText::XmlItem), server + GarnetText::XmlPath, FirstXmlPostId,
             1327806},
    }};
}

bool IsUrlFormat(int format)
{
    return format == HtmlFormat || format == XmlFormat;
}
