#pragma once

// Writing a download list: one expanded line template per post ID of a range, in
// ascending order, each line ended by CR LF, GBK text.

#include "UrlTemplateTable.h"

#include <cstdint>
#include <string>
#include <string_view>

enum class PostIdCheck { Valid, NotInteger, OutOfRange };

// Reads an ID field as the integer fields of a dialog do: optional white space and
// sign around decimal digits. Numbers too large for any integer type are out of range.
PostIdCheck ParsePostId(std::string_view text, std::int32_t &id);

// The standard prompt for a field that failed the check (GBK); empty for Valid.
std::string PostIdPrompt(PostIdCheck check);

struct UrlListRequest
{
    int format = HtmlFormat; // index into the template table
    std::string lineTemplate; // GBK
    std::int32_t firstId = 1;
    std::int32_t lastId = 10000;
    std::string outputPath; // GBK
};

enum class UrlListOutcome {
    Written,
    InvalidId, // an ID outside 1 to MaxPostId
    RangeReversed, // last ID smaller than the first
    RangeRejected, // the range does not suit the format
    CannotCreate,
    CannotWrite, // the list is incomplete
    ArchiveFailed, // the archive could not be asked which posts it holds
};

struct UrlListResult
{
    UrlListOutcome outcome = UrlListOutcome::Written;
    std::string text; // GBK: the text to show the user
    std::int64_t linesWritten = 0;
    std::int64_t leftOut = 0; // IDs the archive holds, when only missing ones were asked for
};

// The program's directory followed by "DownList.lst".
std::string DefaultUrlListPath();

// The checks of the IDs against each other and against the format: Written with no
// text when the range may be written.
UrlListResult CheckUrlListRange(const UrlListRequest &request);

// The folder the output file goes into when that folder does not exist yet; empty
// when it exists (or the path names no folder).
std::string MissingOutputFolder(const std::string &outputPath);

// Checks the range before the output file is touched, so a rejected range leaves an
// earlier list as it was; then empties or creates the file and writes every line.
UrlListResult GenerateUrlListFile(const UrlTemplateTable &table, const UrlListRequest &request);
