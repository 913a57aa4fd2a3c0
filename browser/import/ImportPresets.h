#pragma once

// The presets file Configs/XmlListInfo.xml: named sets of values for the pages
// "基本字段(必填)" and "扩充字段". Under any root element, the first child node must be
// "下拉列表填充" whose "下拉列表项" children name the presets in order (a name ending in
// "*" marks the default, the first such only); preset n's values are the children of
// the first root child named "具体内容项n", one element per key (ImportPresetKey).

#include "ImportSettings.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct PresetList
{
    std::vector<std::string> names; // display names (GBK), the default's "*" removed
    std::int32_t defaultIndex = -1; // -1 when no preset is marked
    // Raw values (GBK, not yet expanded) of each preset's contents element, in document
    // order; a key given twice appears twice (the later one wins when applied).
    std::map<std::int32_t, std::vector<std::pair<std::string, std::string>>> contents;

    // LoadPresetList's result: the default's index, or 0 when none is marked.
    std::int32_t resultIndex() const { return defaultIndex < 0 ? 0 : defaultIndex; }
};

// The keys a preset may set, as bits of ApplyPreset's result.
namespace PresetKey {
constexpr std::uint32_t RadioRoomID = 1u << 0;
constexpr std::uint32_t EdRoomIDStart = 1u << 1;
constexpr std::uint32_t EdRoomIDEnd = 1u << 2;
constexpr std::uint32_t RadioTopicid = 1u << 3;
constexpr std::uint32_t EdTopicidAutogrowStart = 1u << 4;
constexpr std::uint32_t RadioTitle = 1u << 5;
constexpr std::uint32_t EdTitleStart = 1u << 6;
constexpr std::uint32_t EdTitleEnd = 1u << 7;
constexpr std::uint32_t UsernameGet = 1u << 8;
constexpr std::uint32_t ReplyGet = 1u << 9;
constexpr std::uint32_t TimeGet = 1u << 10;
constexpr std::uint32_t EdUserStart = 1u << 11;
constexpr std::uint32_t EdUserEnd = 1u << 12;
constexpr std::uint32_t EdReplyStart = 1u << 13;
constexpr std::uint32_t EdReplyEnd = 1u << 14;
constexpr std::uint32_t EdTimeStart = 1u << 15;
constexpr std::uint32_t EdTimeEnd = 1u << 16;
constexpr std::uint32_t EdFileFormat = 1u << 17;
constexpr std::uint32_t ImportTable = 1u << 18;
constexpr std::uint32_t ChkTopicidBeforeInsert = 1u << 19;
constexpr std::uint32_t ChkTitleBeforeInsert = 1u << 20;
} // namespace PresetKey

// Configs/XmlListInfo.xml below the program's folder.
std::string PresetsFilePath();

// Reads the presets file. False when it cannot be read or is not well-formed XML (the
// caller shows the path followed by ImportText::PresetsOpenError); reason then says why.
// A root whose first child is not "下拉列表填充" gives an empty list and true.
bool LoadPresetList(const std::string &path, PresetList &list, std::string *reason = nullptr);
bool LoadPresetListFromBytes(std::string_view bytes, PresetList &list,
                             std::string *reason = nullptr);

// Copies preset n into the settings: texts expanded over the common placeholders
// ("|TAB|", "|NEWLINE|", "|ENTER|", "||", ...), numbers read as leading blanks, a sign
// and digits (no digit: 0), checks on when not 0. Keys the preset does not hold leave
// their fields alone; an empty EdTopicidAutogrowStart too. In selected-room mode the
// roomid mode is set to 2 whatever RadioRoomID says. Returns the PresetKey bits of the
// keys applied (0 when preset n has no contents element).
std::uint32_t ApplyPreset(const PresetList &list, std::int32_t n, ImportSettings &settings);

// The drop-down list: in normal mode every name but the default's, in selected-room
// mode only the name at resultIndex(). Returns preset indices in list order.
std::vector<std::int32_t> ListedPresets(const PresetList &list, bool selectedRoomMode);

// The preset of an entry chosen in the normal-mode list: k, or k + 1 from the hidden
// default on.
std::int32_t PresetOfListEntry(const PresetList &list, std::int32_t entry);

// The index of the preset with this display name (exact), or -1.
std::int32_t FindPreset(const PresetList &list, const std::string &name);

// A preset number: leading blanks, optional sign, digits up to the first other byte,
// saturated to 32 bits; 0 without digits.
std::int32_t ParsePresetNumber(std::string_view text);
