#pragma once

#include <string>
#include <vector>

// Writes the entries of a message list to a GBK text file, one CR LF line each
// (an entry with a line feed becomes two lines, an empty one none). Returns 0, or
// the CTextLineFile code of the failure with its reason in `why` (GBK).
long WriteMessageLines(const std::string &path, const std::vector<std::string> &lines,
                       std::string &why);
