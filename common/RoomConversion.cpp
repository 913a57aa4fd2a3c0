#include "RoomConversion.h"

#include "AppDirectory.h"
#include "CTextLineFile.h"
#include "Codec.h"
#include "CommonTexts.h"
#include "FileSystem.h"
#include "TextFormat.h"

#include <algorithm>

namespace {
constexpr std::int32_t LineCapacity = 4096;
}

std::string RoomConversionPath()
{
    return AppDirectoryWithSlash() + CommonText::ConversionFileName;
}

void LoadRoomConversion(std::vector<std::string> &roomIds, std::vector<std::string> &roomNames,
                        PlaceholderResolver resolver)
{
    LoadRoomConversionFile(RoomConversionPath(), roomIds, roomNames, resolver);
}

void LoadRoomConversionFile(const std::string &path, std::vector<std::string> &roomIds,
                            std::vector<std::string> &roomNames, PlaceholderResolver resolver)
{
    CTextLineFile file;
    // Only read: a file the user may only read still loads, and a missing one stays missing.
    if (file.Open(path, CTextLineFile::EightBitText, CTextLineFile::OpenMode::ReadOnly) != 0)
        return;
    std::string line;
    std::string name;
    std::int32_t status;
    do {
        std::int32_t length = 0;
        status = file.ReadLine(line, LineCapacity, length);
        if (length <= 0 || line.front() == '?')
            continue;
        const std::size_t bracket = line.find('<');
        std::string roomId = line.substr(0, bracket);
        const std::string rawName =
                bracket == std::string::npos ? std::string() : line.substr(bracket + 1);
        name.clear();
        ExpandTemplate(rawName, name, nullptr, commonKind, resolver);
        roomNames.push_back(name);
        roomIds.push_back(std::move(roomId));
    } while (status == CTextLineFile::LineRead);
    file.Close();
}

const std::string *FindRoomIdByName(const std::vector<std::string> &roomIds,
                                    const std::vector<std::string> &roomNames,
                                    const std::string &roomName)
{
    const std::size_t count = std::min(roomIds.size(), roomNames.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (roomNames[i] == roomName)
            return &roomIds[i];
    }
    return nullptr;
}

std::string RoomConversionTable::Load(PlaceholderResolver resolver)
{
    return LoadFile(RoomConversionPath(), resolver);
}

std::string RoomConversionTable::LoadFile(const std::string &path, PlaceholderResolver resolver)
{
    Clear();
    // A missing file is no problem: it gives no entry.
    const std::error_code error = FileSystem::checkSettingsFile(path);
    if (error && error.category() == FileSystem::settingsFileCategory())
        return FormatText(Gbk::literal(CommonText::ConversionNotRead).c_str(), path.c_str(),
                          FileSystem::errorText(error).c_str());
    LoadRoomConversionFile(path, roomIds_, roomNames_, resolver);
    index(0);
    return std::string();
}

void RoomConversionTable::Clear()
{
    roomIds_.clear();
    roomNames_.clear();
    firstOfName_.clear();
}

void RoomConversionTable::Append(std::string roomId, std::string roomName)
{
    roomIds_.push_back(std::move(roomId));
    roomNames_.push_back(std::move(roomName));
    index(roomNames_.size() - 1);
}

const std::string *RoomConversionTable::FindRoomId(const std::string &roomName) const
{
    const auto found = firstOfName_.find(roomName);
    return found == firstOfName_.end() ? nullptr : &roomIds_[found->second];
}

void RoomConversionTable::index(std::size_t from)
{
    const std::size_t count = std::min(roomIds_.size(), roomNames_.size());
    for (std::size_t i = from; i < count; ++i)
        firstOfName_.emplace(roomNames_[i], i);
}
