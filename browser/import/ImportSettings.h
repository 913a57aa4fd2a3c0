#pragma once

// The values of the import sheet's pages "基本信息(必填)", "基本字段(必填)" and
// "扩充字段" as one plain value: the sheet's pages and `quillery import` fill it, a
// preset (ImportPresets.h) changes it, and a run (ImportRun.h) reads it. Texts are GBK.

#include <cstdint>
#include <optional>
#include <string>

// How a post's roomid is obtained (the radio buttons of page 2, in their order).
namespace RoomidMode {
constexpr std::int32_t Markers = 0; // the text between the roomid markers
constexpr std::int32_t ConvertedName = 1; // a room name, through RoomID-Name.txt
constexpr std::int32_t StartMarkerValue = 2; // the start marker field holds the roomid
constexpr std::int32_t FolderIsRoomname = 3; // folders are named after rooms
constexpr std::int32_t FolderIsRoomid = 4; // the file's folder name is the roomid
} // namespace RoomidMode

namespace TopicidMode {
constexpr std::int32_t FileName = 0; // the file title
constexpr std::int32_t AutoGrow = 1; // numbered upwards from autoGrowStart
} // namespace TopicidMode

namespace TitleMode {
constexpr std::int32_t Markers = 0;
constexpr std::int32_t FileName = 1;
} // namespace TitleMode

// targetMode values: every test is "less than NormalImport".
constexpr std::int32_t NormalImport = -1;
constexpr std::int32_t SelectedRoomImport = -2;

struct MarkerPair
{
    std::string start;
    std::string end;
};

struct OptionalField
{
    bool get = false; // the group's check box
    MarkerPair markers;
};

struct ImportSettings
{
    // Page 1
    std::string connectionString; // the tree configuration's, by default
    bool connectionExpanded = false; // its placeholders are expanded (ExpandConnectionString)
    std::string importDirectory; // whole subtree imported
    bool pathCheck = true;

    // Page 2
    std::string filePattern; // wildcard for the file names, "*.htm"
    std::string table; // post table, "post_other"
    bool checkTopicid = true; // duplicate checks before each insert
    bool checkTitle = true;
    std::int32_t roomidMode = RoomidMode::Markers;
    MarkerPair roomid;
    std::int32_t topicidMode = TopicidMode::AutoGrow;
    std::int32_t autoGrowStart = 10000; // signed as typed; the run counts unsigned
    std::int32_t titleMode = TitleMode::Markers;
    MarkerPair title;

    // Page 3
    OptionalField username;
    OptionalField reply;
    OptionalField createtime;

    // Selected-room mode ("导入到所选类型"): the room's roomid and its top-level table.
    std::int32_t targetMode = NormalImport;
    std::string targetRoomid;
    std::string targetTable;

    bool selectedRoomMode() const { return targetMode < NormalImport; }
};

// The pages' defaults: empty connection string (SetImportSource fills it), the program's
// folder followed by "Import/", the path check on, "*.htm", "post_other", both duplicate
// checks on, roomid mode 0, topicid mode 1 from 10000, title mode 0, markers empty,
// page 3 off.
ImportSettings DefaultImportSettings();

// Selected-room mode as SetImportTarget and page 2's initialisation set it: roomid mode
// 2 with the room's roomid as start marker, the room's top-level table.
void SetImportTarget(ImportSettings &settings, const std::string &roomid, const std::string &table);

// The first problem ValidatePage finds, pages in the order 1, 2, 3: page is 1 to 3,
// text (GBK) is the page's prefix followed by the check's text. Marker checks apply to
// the fields a mode enables: roomid start in modes 0 to 2, roomid end in 0 and 1, title
// markers in title mode 0, a group of page 3 while its box is on.
struct ImportSettingsProblem
{
    int page = 0;
    std::string text;
};
std::optional<ImportSettingsProblem> ValidateImportSettings(const ImportSettings &settings);

// The ten markers lower-cased in place by the search text's rule (a run's first step).
void LowerCaseMarkers(ImportSettings &settings);

// Replaces the connection string by its expansion (placeholders of the common kind),
// once: after that it is left as it is, so "||" stays one bar and an unknown placeholder
// is reported once. A caller that puts a new text in clears connectionExpanded.
void ExpandConnectionString(ImportSettings &settings);
