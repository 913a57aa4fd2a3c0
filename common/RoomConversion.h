#pragma once

// The room ID conversion file "RoomID-Name.txt": one line per room, the room id,
// "<", the room name (a template expanded on reading).

#include "TemplateExpansion.h"

#include <string>
#include <unordered_map>
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

// The conversion file's two lists with a look-up by name in constant time, however long
// the file is: the first entry of a name wins, as a scan from the first entry finds it.
class RoomConversionTable
{
public:
    // Empties the table and loads the conversion file of the program's directory (or
    // path). A file that is not a regular file of at most FileSystem::SettingsFileLimit
    // bytes is not read; the result is then the line that says so (GBK), else empty.
    std::string Load(PlaceholderResolver resolver);
    std::string LoadFile(const std::string &path, PlaceholderResolver resolver);

    void Clear();
    void Append(std::string roomId, std::string roomName);
    const std::string *FindRoomId(const std::string &roomName) const;

    const std::vector<std::string> &roomIds() const { return roomIds_; }
    const std::vector<std::string> &roomNames() const { return roomNames_; }

private:
    void index(std::size_t from);

    std::vector<std::string> roomIds_;
    std::vector<std::string> roomNames_;
    std::unordered_map<std::string, std::size_t> firstOfName_;
};
