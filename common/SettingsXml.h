#pragma once

// Parsing of the XML settings files (the tree configuration, the import presets).

#include <string>
#include <string_view>

class QDomDocument;

// Parses bytes into document. On malformed XML returns false and, when reason is given,
// sets it to the parser's message with its line and column, as GBK text.
bool ParseSettingsXml(std::string_view bytes, QDomDocument &document, std::string *reason);
