#include "UrlListGeneration.h"

#include "GarnetTexts.h"
#include "UrlListWriter.h"
#include "common/AppDirectory.h"
#include "common/CTextLineFile.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/TextFormat.h"

namespace {

bool isBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

void replaceAll(std::string &text, std::string_view from, std::string_view to)
{
    for (std::size_t pos = text.find(from); pos != std::string::npos;
         pos = text.find(from, pos + to.size()))
        text.replace(pos, from.size(), to);
}

UrlListResult fileFailure(UrlListOutcome outcome, const char *utf8Format, const std::string &path,
                          const CTextLineFile &file, std::int64_t lines)
{
    const std::string format = Gbk::literal(utf8Format);
    const std::string reason = FileSystem::errorText(file.lastError());
    return {outcome, FormatText(format.c_str(), path.c_str(), reason.c_str()), lines};
}

} // namespace

PostIdCheck ParsePostId(std::string_view text, std::int32_t &id)
{
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t digitsStart = i;
    std::int64_t value = 0;
    bool huge = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > MaxPostId) {
            huge = true;
            value = MaxPostId + std::int64_t(1);
        }
    }
    if (i == digitsStart)
        return PostIdCheck::NotInteger;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    if (i != text.size())
        return PostIdCheck::NotInteger;
    if (negative)
        value = -value;
    if (huge || value < MinPostId || value > MaxPostId)
        return PostIdCheck::OutOfRange;
    id = std::int32_t(value);
    return PostIdCheck::Valid;
}

std::string PostIdPrompt(PostIdCheck check)
{
    switch (check) {
    case PostIdCheck::Valid:
        break;
    case PostIdCheck::NotInteger:
        return Gbk::literal(GarnetText::NotAnInteger);
    case PostIdCheck::OutOfRange: {
        std::string prompt = Gbk::literal(GarnetText::IntegerOutOfRange);
        replaceAll(prompt, "%1", std::to_string(MinPostId));
        replaceAll(prompt, "%2", std::to_string(MaxPostId));
        return prompt;
    }
    }
    return std::string();
}

std::string DefaultUrlListPath()
{
    return AppDirectoryWithSlash() + GarnetText::DefaultListName;
}

UrlListResult CheckUrlListRange(const UrlListRequest &request)
{
    const std::int32_t first = request.firstId;
    const std::int32_t last = request.lastId;
    for (const std::int32_t id : {first, last}) {
        if (id < MinPostId || id > MaxPostId)
            return {UrlListOutcome::InvalidId, PostIdPrompt(PostIdCheck::OutOfRange), 0};
    }
    if (last < first)
        return {UrlListOutcome::RangeReversed, Gbk::literal(GarnetText::RangeReversed), 0};
    // The check goes by the chosen format, not by what the template looks like.
    const bool html = request.format != XmlFormat;
    if (html && last > LastHtmlPostId)
        return {UrlListOutcome::RangeRejected, Gbk::literal(GarnetText::HtmlRangeRejected), 0};
    if (!html && first < FirstXmlPostId)
        return {UrlListOutcome::RangeRejected, Gbk::literal(GarnetText::XmlRangeRejected), 0};
    return {UrlListOutcome::Written, std::string(), 0};
}

std::string MissingOutputFolder(const std::string &outputPath)
{
    const std::size_t separator = FileSystem::lastSeparator(outputPath);
    if (separator == std::string::npos || separator == 0)
        return std::string();
    const std::string folder = FileSystem::normalize(outputPath.substr(0, separator));
    return FileSystem::isDirectory(folder) ? std::string() : folder;
}

UrlListResult GenerateUrlListFile(const UrlTemplateTable &table, const UrlListRequest &request)
{
    const UrlListResult range = CheckUrlListRange(request);
    if (range.outcome != UrlListOutcome::Written)
        return range;
    const std::int32_t first = request.firstId;
    const std::int32_t last = request.lastId;
    const bool html = request.format != XmlFormat;

    CTextLineFile file;
    if (file.Open(request.outputPath, CTextLineFile::EightBitText,
                  CTextLineFile::OpenMode::ReadWriteTruncate)
        != 0)
        return fileFailure(UrlListOutcome::CannotCreate, GarnetText::CannotCreate,
                           request.outputPath, file, 0);

    std::int64_t written = 0;
    std::string line;
    // 64-bit counter: the loop must end after MaxPostId without overflowing.
    for (std::int64_t id = first; id <= last; ++id) {
        ExpandUrlListLine(request.lineTemplate, std::int32_t(id), line);
        if (file.WriteText(line, CTextLineFile::AddLineEnd) != 0)
            return fileFailure(UrlListOutcome::CannotWrite, GarnetText::CannotWrite,
                               request.outputPath, file, written);
        // An empty expansion writes nothing, not even a line end.
        if (!line.empty())
            ++written;
    }
    if (file.Close() != 0)
        return fileFailure(UrlListOutcome::CannotWrite, GarnetText::CannotWrite, request.outputPath,
                           file, written);

    const UrlTemplateEntry &entry = table[html ? HtmlFormat : XmlFormat];
    const std::string done = Gbk::literal(html ? GarnetText::HtmlDone : GarnetText::XmlDone);
    const std::int64_t count = html ? written : std::int64_t(last) - first + 1;
    return {UrlListOutcome::Written, entry.label + FormatText(done.c_str(), int(count)), written};
}
