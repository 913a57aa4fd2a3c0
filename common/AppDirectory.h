#pragma once

#include <string>

// The folder that holds the user's Configs/, Data/ and RoomID-Name.txt (GBK): the
// running program's own directory when it runs portable, the user's data folder when
// it is installed (AppFolders.h). With keepSeparator the result ends in "/". Returns
// true when a separator was found after the first byte.
bool GetAppDirectory(std::string &directory, bool keepSeparator);

// Convenience forms for callers that only need the text.
std::string AppDirectory(); // without the final separator
std::string AppDirectoryWithSlash(); // with it

// Lets tests stand a temporary folder in for the program's directory; an empty
// text returns to the real one.
void SetAppDirectoryOverride(const std::string &directory);
