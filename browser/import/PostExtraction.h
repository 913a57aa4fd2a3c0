#pragma once

// Field extraction from one post file: the search text, the fields of PostFields by the
// modes of the settings, and the line for a file that is skipped. No file or database
// access here: the caller reads the file and decides what happens to the fields.

#include "ImportSettings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The texts extracted from one post file (GBK), empty when not obtained.
struct PostFields
{
    std::string roomid;
    std::string title;
    std::string topicid;
    std::string username;
    std::string createtime;
    std::string reply;
    std::string path; // the file's full path
};

// What the post table offers (CheckTableColumns).
struct PostColumns
{
    bool hasUsername = false;
    bool hasReply = false;
    bool hasCreatetime = false;
    bool roomidIsNumeric = false;
};

class RoomConversionTable;

struct ExtractionContext
{
    const ImportSettings *settings = nullptr; // markers lower-cased
    const RoomConversionTable *conversion = nullptr; // the conversion file's lists
    PostColumns columns;
    bool bodyText = false; // the table has a body index: take each post's text too
};

// The whole file cut at its first zero byte, lower-cased character by character (GBK);
// every offset in it is the same offset in the file.
std::string BuildSearchText(std::string_view fileBytes);
// The same into text, whose room is used again.
void BuildSearchText(std::string_view fileBytes, std::string &text);

// A buffer a thread uses again file after file: fewer allocations of a file's size. It
// keeps its room while that is at most KeptBytes.
class ReusedBuffer
{
public:
    static constexpr std::size_t KeptBytes = 1 << 20;
    explicit ReusedBuffer(std::string &bytes)
        : bytes_(bytes)
    {
    }
    ~ReusedBuffer()
    {
        if (bytes_.capacity() > KeptBytes)
            std::string().swap(bytes_);
    }
    ReusedBuffer(const ReusedBuffer &) = delete;
    ReusedBuffer &operator=(const ReusedBuffer &) = delete;

private:
    std::string &bytes_;
};

// The file name without its last extension ("12.34.htm" -> "12.34", ".htm" -> "").
std::string FileTitleOf(std::string_view fileName);
// The part of a path after its last separator.
std::string FileNameOf(std::string_view path);
// The name of the folder that holds the file: the text between the last two separators.
std::string FolderNameOf(std::string_view path);

enum class ExtractionResult {
    Extracted, // fields ready for the path check and InsertPost
    Reported, // skipped; `line` says why
    SkippedSilently, // a mode value no page offers
};

// Steps 4 to 8 of ImportFile over a file's bytes. autoGrow is the counter for topicid
// mode 1; without it the topicid stays empty for the caller to number. roomidOfNode is
// the room's roomid in roomid mode 3.
ExtractionResult ExtractPostFields(const ExtractionContext &context, std::string_view fileBytes,
                                   const std::string &path, const std::string &fileTitle,
                                   const std::string &roomidOfNode,
                                   std::optional<std::uint32_t> autoGrow, PostFields &fields,
                                   std::string &line);

// A message line cut to at most MessageLineBytes between characters.
inline constexpr std::size_t MessageLineBytes = 4095;
std::string CutMessageLine(std::string line);
