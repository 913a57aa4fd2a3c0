#pragma once

// The two line formats of Garnet's download lists. Lumora serves older posts as HTML
// pages and newer ones as XML files; the post ID 1317806 is the last HTML post.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

constexpr int HtmlFormat = 0;
constexpr int XmlFormat = 1;

constexpr std::int32_t MinPostId = 1;
// One below the largest 32-bit value, so that the generation loop cannot overflow.
constexpr std::int32_t MaxPostId = 2147483646;
constexpr std::int32_t LastHtmlPostId = 1317806;
constexpr std::int32_t FirstXmlPostId = LastHtmlPostId + 1;

struct UrlTemplateEntry
{
    std::string label; // GBK, the text of the list item
    std::string lineTemplate; // GBK
    std::int32_t firstId = 0; // the range put into the fields on selection
    std::int32_t lastId = 0;
};

using UrlTemplateTable = std::array<UrlTemplateEntry, 2>;

// The table with the given scheme and host ("https://www.lumora.example") in front of
// each template's path.
UrlTemplateTable BuildUrlTemplateTable(std::string_view serverBase);

bool IsUrlFormat(int format);
