#pragma once

// The room ID conversion file "RoomID-Name.txt": one line per room, the room id,
// "<", the room name (a template expanded on reading).

#include "TemplateExpansion.h"

#include <string>
#include <vector>

// Appends the entries of the conversion file in the program's directory; the file is
// only read. A missing or unreadable file adds nothing.
void LoadRoomConversion(std::vector<std::string> &roomIds, std::vector<std::string> &roomNames,
                        PlaceholderResolver resolver);

// The same for a conversion file at a given path.
void LoadRoomConversionFile(const std::string &path, std::vector<std::string> &roomIds,
                            std::vector<std::string> &roomNames, PlaceholderResolver resolver);

// The room id of the first entry whose name equals roomName byte for byte, or
// nullptr when there is none.
const std::string *FindRoomIdByName(const std::vector<std::string> &roomIds,
                                    const std::vector<std::string> &roomNames,
                                    const std::string &roomName);

std::string RoomConversionPath();
