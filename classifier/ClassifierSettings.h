#pragma once

// The settings of a classification run and of the conversion-file extraction, as the
// main dialog and "quillery classify" hand them to the engine. Texts are GBK.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class FolderMethod : int {
    ByRoomId = 0,
    ByConversionFile = 1, // room name -> room id through RoomID-Name.txt, else a number
    BySequence = 2, // one number per room name
    Flat = 3,
};

enum class NamingRule : int {
    Keep = 0,
    ByRoomName = 1,
    BySequence = 2,
};

enum class TransferMethod : int {
    Copy = 0,
    Move = 1,
};

struct ClassifierSettings
{
    std::string inputDirectory;
    std::string pattern;
    std::string outputDirectory;
    std::string roomNameStart;
    std::string roomNameEnd;
    std::string roomIdStart;
    std::string roomIdEnd;
    FolderMethod folderMethod = FolderMethod::ByRoomId;
    NamingRule namingRule = NamingRule::Keep;
    std::int64_t fileSequenceStart = 10000;
    TransferMethod transferMethod = TransferMethod::Copy;
};

// The defaults: input is the program's directory, output its "Output/" folder.
ClassifierSettings DefaultClassifierSettings();

// The file sequence start as typed: digits only, at most 2147483647 (the field's
// integer). Nothing for any other text.
std::optional<std::int64_t> ParseSequenceStart(std::string_view text);

// Appends "/" unless the path already ends in a separator of its own; "" stays "".
std::string WithFinalSeparator(std::string_view directory);
