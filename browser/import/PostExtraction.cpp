#include "PostExtraction.h"

#include "ImportTexts.h"
#include "common/Codec.h"
#include "common/ExtractBetween.h"
#include "common/FileSystem.h"
#include "common/RoomConversion.h"
#include "common/TextFormat.h"

#include <cstring>

namespace {

std::string gbkFormat(const char *utf8)
{
    return Gbk::literal(utf8);
}

// The value between a marker pair; from the original bytes when fromFile, so it keeps
// the letter case written in the file.
bool extract(std::string_view search, std::string_view file, const MarkerPair &markers,
             bool fromFile, std::string &value)
{
    const auto span = ExtractBetween(search, markers.start, markers.end);
    if (!span)
        return false;
    const std::string_view source = fromFile ? file : search;
    value.assign(source.substr(span->begin, span->end - span->begin));
    // The search text ends at the file's first zero byte, so the slice holds none.
    return true;
}

} // namespace

std::string BuildSearchText(std::string_view fileBytes)
{
    std::string text;
    BuildSearchText(fileBytes, text);
    return text;
}

void BuildSearchText(std::string_view fileBytes, std::string &text)
{
    const void *zero = std::memchr(fileBytes.data(), 0, fileBytes.size());
    text.assign(
            fileBytes.substr(0,
                             zero ? std::size_t(static_cast<const char *>(zero) - fileBytes.data())
                                  : fileBytes.size()));
    Gbk::toLowerInPlace(text);
}

std::string FileNameOf(std::string_view path)
{
    const std::size_t separator = FileSystem::lastSeparator(path);
    return std::string(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

std::string FileTitleOf(std::string_view fileName)
{
    const std::size_t dot = fileName.rfind('.');
    return std::string(dot == std::string_view::npos ? fileName : fileName.substr(0, dot));
}

std::string FolderNameOf(std::string_view path)
{
    const std::size_t last = FileSystem::lastSeparator(path);
    if (last == std::string_view::npos)
        return std::string();
    const std::string_view folder = path.substr(0, last);
    const std::size_t before = FileSystem::lastSeparator(folder);
    return std::string(before == std::string_view::npos ? folder : folder.substr(before + 1));
}

ExtractionResult ExtractPostFields(const ExtractionContext &context, std::string_view fileBytes,
                                   const std::string &path, const std::string &fileTitle,
                                   const std::string &roomidOfNode,
                                   std::optional<std::uint32_t> autoGrow, PostFields &fields,
                                   std::string &line)
{
    const ImportSettings &settings = *context.settings;
    fields = PostFields();
    fields.path = path;

    switch (settings.topicidMode) {
    case TopicidMode::FileName:
        if (!IsAllDigits(fileTitle)) {
            line = CutMessageLine(
                    FormatText(gbkFormat(ImportText::NotDigitsName).c_str(), fileTitle.c_str()));
            return ExtractionResult::Reported;
        }
        fields.topicid = fileTitle;
        break;
    case TopicidMode::AutoGrow:
        if (autoGrow)
            fields.topicid = std::to_string(*autoGrow);
        break;
    default:
        return ExtractionResult::SkippedSilently;
    }

    thread_local std::string search;
    const ReusedBuffer kept(search);
    BuildSearchText(fileBytes, search);
    switch (settings.roomidMode) {
    case RoomidMode::Markers:
        extract(search, fileBytes, settings.roomid, false, fields.roomid);
        break;
    case RoomidMode::ConvertedName: {
        std::string name;
        if (extract(search, fileBytes, settings.roomid, false, name) && context.conversion) {
            if (const std::string *id = context.conversion->FindRoomId(name))
                fields.roomid = *id;
        }
        break;
    }
    case RoomidMode::StartMarkerValue:
        fields.roomid = settings.roomid.start;
        break;
    case RoomidMode::FolderIsRoomname:
        fields.roomid = roomidOfNode;
        break;
    default:
        if (settings.roomidMode < 0)
            return ExtractionResult::SkippedSilently;
        fields.roomid = FolderNameOf(path);
    }
    if (fields.roomid.empty()) {
        line = CutMessageLine(
                FormatText(gbkFormat(ImportText::NoRoomid).c_str(), FileNameOf(path).c_str()));
        return ExtractionResult::Reported;
    }

    switch (settings.titleMode) {
    case TitleMode::Markers:
        if (!extract(search, fileBytes, settings.title, true, fields.title)) {
            line = CutMessageLine(
                    FormatText(gbkFormat(ImportText::NoTitle).c_str(), FileNameOf(path).c_str()));
            return ExtractionResult::Reported;
        }
        break;
    case TitleMode::FileName:
        fields.title = fileTitle;
        break;
    default:
        return ExtractionResult::SkippedSilently;
    }

    if (context.columns.hasReply && settings.reply.get)
        extract(search, fileBytes, settings.reply.markers, false, fields.reply);
    if (context.columns.hasUsername && settings.username.get)
        extract(search, fileBytes, settings.username.markers, true, fields.username);
    if (context.columns.hasCreatetime && settings.createtime.get)
        extract(search, fileBytes, settings.createtime.markers, false, fields.createtime);
    return ExtractionResult::Extracted;
}

std::string CutMessageLine(std::string line)
{
    if (line.size() > MessageLineBytes)
        line.resize(Gbk::prefixWithinBytes(line, MessageLineBytes).size());
    return line;
}
