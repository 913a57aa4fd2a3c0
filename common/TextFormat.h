#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// printf-style formatting of GBK texts: the format and every %s argument are GBK
// bytes, which printf copies unchanged.
std::string FormatText(const char *gbkFormat, ...) __attribute__((format(printf, 1, 2)));

// A statement or value of megabytes makes a message box unusable (its label lays the
// whole text out) and floods standard error: texts quoted in messages and reports
// keep at most this many bytes.
inline constexpr std::size_t ShownTextLimit = 4096;

// The GBK text cut to at most `limit` bytes of whole characters, with "…" appended
// when something was cut.
std::string ShortenedText(std::string_view gbk, std::size_t limit = ShownTextLimit);
