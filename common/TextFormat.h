#pragma once

#include <string>

// printf-style formatting of GBK texts: the format and every %s argument are GBK
// bytes, which printf copies unchanged.
std::string FormatText(const char *gbkFormat, ...) __attribute__((format(printf, 1, 2)));
