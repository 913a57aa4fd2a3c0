#pragma once

// The searchable text of a post file: what a reader sees of the page, normalised, as
// the body index and the exact check both take it.
//
// Decoding: a byte order mark, else the encoding an XML declaration or an HTML meta tag
// names, else UTF-8 when the start of the file is valid UTF-8 with characters beyond
// ASCII, else GBK (read as GB18030, which holds it). A file with NUL bytes near its
// start is binary: only its runs of at least four printable ASCII characters count.
// Markup: VisibleText.h. Normalisation: each character in its compatibility form
// (NFKC, applied to a character with its combining marks), lower-cased, in GBK;
// characters GBK cannot hold separate like punctuation.
//
// The result is a run of elements, each preceded and followed by one blank:
// " 数据库 error 内存泄漏 ". An element is a word (letters, digits and "_", at most
// MaxWordChars; longer words go on in pieces that start with "·") or a run of CJK
// characters. A query matches exactly where its pattern (SearchQuery.h) is a substring
// of this text.
//
// A post gives at most MaxIndexedChars characters of this text; what its page shows
// beyond is not searchable (truncated says so). That bound keeps one post's index
// entries within what PostgreSQL takes in one row and lets a huge file pass in a
// bounded amount of memory: reading stops once the bound is reached.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace BodyText {
constexpr std::size_t MaxIndexedChars = 160000;
constexpr std::size_t MaxWordChars = 64;
} // namespace BodyText

struct PostText
{
    std::string text; // GBK, " e1 e2 ... en ", empty when the post has no searchable text
    bool truncated = false;
    bool binary = false;
    std::string charset; // what the file was read as: "GBK", "UTF-8", "Big5", ...
};

// What a file was like when its text was taken: the index keeps it to tell later
// whether the file has changed.
struct PostFileStamp
{
    long long size = -1;
    long long modified = 0; // nanoseconds since the epoch
    bool operator==(const PostFileStamp &) const = default;
};

// The text of a post's bytes (the import has them in memory). Never fails.
PostText ExtractPostText(std::string_view bytes);

// The same read from a file (a GBK path), a megabyte at a time, stopping once the
// bound is reached; stamp receives the file's size and modification time. False, with
// the reason (GBK) in problem, when the file cannot be opened or read, or is not a
// regular file.
bool ExtractPostFile(const std::string &path, PostText &text, PostFileStamp &stamp,
                     std::string &problem);

// The size and modification time of a file, without reading it; false with the reason.
bool StampPostFile(const std::string &path, PostFileStamp &stamp, std::string &problem);
