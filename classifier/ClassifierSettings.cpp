#include "ClassifierSettings.h"

#include "common/AppDirectory.h"
#include "common/ExtractBetween.h"
#include "common/FileSystem.h"

#include <limits>

ClassifierSettings DefaultClassifierSettings()
{
    ClassifierSettings settings;
    settings.inputDirectory = AppDirectoryWithSlash();
    settings.pattern = "*.htm";
    settings.outputDirectory = AppDirectoryWithSlash() + "Output/";
    settings.roomNameStart = "<RoomName>";
    settings.roomNameEnd = "</RoomName>";
    settings.roomIdStart = "<RoomId>";
    settings.roomIdEnd = "</RoomId>";
    return settings;
}

std::optional<std::int64_t> ParseSequenceStart(std::string_view text)
{
    if (text.empty() || !IsAllDigits(text))
        return std::nullopt;
    std::int64_t value = 0;
    for (const char c : text) {
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<std::int32_t>::max())
            return std::nullopt;
    }
    return value;
}

std::string WithFinalSeparator(std::string_view directory)
{
    std::string result(directory);
    // An empty text stays empty: "/" would make it the root of the file system.
    if (!result.empty() && FileSystem::lastSeparator(result) != result.size() - 1)
        result += '/';
    return result;
}
