#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// printf-style formatting of GBK texts: the format and every %s argument are GBK
// bytes, which printf copies unchanged.
std::string FormatText(const char *gbkFormat, ...) __attribute__((format(printf, 1, 2)));

// The text with its control characters (C0 and DEL) written as escapes: "\t", "\n", "\r",
// else "\x1b" and the like. A name from disk or a text from a file then keeps a message
// on its one line and never steers a terminal. Such bytes are never part of a GBK
// double-byte character, so the rest stays as it is.
std::string EscapeControlCharacters(std::string_view text);

// A statement or value of megabytes makes a message box unusable (its label lays the
// whole text out) and floods standard error: texts quoted in messages and reports
// keep at most this many bytes.
inline constexpr std::size_t ShownTextLimit = 4096;

// The GBK text cut to at most `limit` bytes of whole characters, with "…" appended
// when something was cut.
std::string ShortenedText(std::string_view gbk, std::size_t limit = ShownTextLimit);
