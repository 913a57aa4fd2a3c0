#include "UrlListWriter.h"

#include "GarnetTexts.h"
#include "UrlPlaceholder.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/TemplateExpansion.h"
#include "common/TextFormat.h"

void ExpandUrlListLine(const std::string &lineTemplate, std::int32_t id, std::string &line)
{
    ExpandTemplate(lineTemplate, line, nullptr, id, ResolveUrlPlaceholder);
}

bool UrlListWriter::failed(UrlListOutcome outcome, const char *utf8Format, UrlListResult &result)
{
    const std::string format = Gbk::literal(utf8Format);
    const std::string reason = FileSystem::errorText(file_.lastError());
    result = {outcome, FormatText(format.c_str(), path_.c_str(), reason.c_str()), written_};
    return false;
}

bool UrlListWriter::Open(const std::string &path, const std::string &lineTemplate,
                         UrlListResult &result)
{
    path_ = path;
    lineTemplate_ = lineTemplate;
    written_ = ids_ = 0;
    if (file_.Open(path, CTextLineFile::EightBitText, CTextLineFile::OpenMode::ReadWriteTruncate)
        != 0)
        return failed(UrlListOutcome::CannotCreate, GarnetText::CannotCreate, result);
    return true;
}

bool UrlListWriter::WriteRun(std::int64_t first, std::int64_t last, UrlListResult &result)
{
    if (first < MinPostId || last > MaxPostId || last < first) {
        result = {UrlListOutcome::InvalidId, PostIdPrompt(PostIdCheck::OutOfRange), written_};
        return false;
    }
    for (std::int64_t id = first; id <= last; ++id) {
        ExpandUrlListLine(lineTemplate_, std::int32_t(id), line_);
        if (file_.WriteText(line_, CTextLineFile::AddLineEnd) != 0)
            return failed(UrlListOutcome::CannotWrite, GarnetText::CannotWrite, result);
        // An empty expansion writes nothing, not even a line end.
        if (!line_.empty())
            ++written_;
        ++ids_;
    }
    return true;
}

bool UrlListWriter::Close(UrlListResult &result)
{
    if (file_.Close() != 0)
        return failed(UrlListOutcome::CannotWrite, GarnetText::CannotWrite, result);
    result = {UrlListOutcome::Written, std::string(), written_};
    return true;
}
