#include "ImportSettings.h"

#include "ImportTexts.h"
#include "browser/rooms/PostPlaceholder.h"
#include "common/AppDirectory.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/TemplateExpansion.h"

ImportSettings DefaultImportSettings()
{
    ImportSettings settings;
    settings.importDirectory =
            FileSystem::normalize(AppDirectoryWithSlash() + ImportText::DefaultImportFolder);
    settings.filePattern = ImportText::DefaultFilePattern;
    settings.table = ImportText::DefaultTable;
    return settings;
}

void SetImportTarget(ImportSettings &settings, const std::string &roomid, const std::string &table)
{
    settings.targetMode = SelectedRoomImport;
    settings.targetRoomid = roomid;
    settings.targetTable = table;
    settings.roomidMode = RoomidMode::StartMarkerValue;
    settings.roomid.start = roomid;
    settings.table = table;
}

void LowerCaseMarkers(ImportSettings &settings)
{
    for (MarkerPair *pair : {&settings.roomid, &settings.title, &settings.username.markers,
                             &settings.reply.markers, &settings.createtime.markers}) {
        Gbk::toLowerInPlace(pair->start);
        Gbk::toLowerInPlace(pair->end);
    }
}

void ExpandConnectionString(ImportSettings &settings)
{
    if (settings.connectionExpanded)
        return;
    std::string expanded;
    ExpandTemplate(settings.connectionString, expanded, nullptr, commonKind,
                   ResolvePostPlaceholder);
    settings.connectionString = std::move(expanded);
    settings.connectionExpanded = true;
}

std::optional<ImportSettingsProblem> ValidateImportSettings(const ImportSettings &settings)
{
    const auto problem = [](int page, const char *prefix, std::string text) {
        return ImportSettingsProblem {page, Gbk::literal(prefix) + text};
    };
    const auto text = [](const char *utf8) { return Gbk::literal(utf8); };
    if (settings.connectionString.empty())
        return problem(1, ImportText::PageBasePrefix, text(ImportText::NeedConnection));
    if (settings.importDirectory.empty())
        return problem(1, ImportText::PageBasePrefix, text(ImportText::NeedImportFolder));
    if (settings.filePattern.empty())
        return problem(2, ImportText::PageListPrefix, text(ImportText::NeedFilePattern));
    if (settings.table.empty())
        return problem(2, ImportText::PageListPrefix, text(ImportText::NeedTable));
    const std::int32_t roomidMode = settings.roomidMode;
    if (roomidMode >= 0 && roomidMode <= RoomidMode::StartMarkerValue
        && settings.roomid.start.empty())
        return problem(2, ImportText::PageListPrefix, text(ImportText::NeedRoomidStart));
    if (roomidMode >= 0 && roomidMode <= RoomidMode::ConvertedName && settings.roomid.end.empty())
        return problem(2, ImportText::PageListPrefix, text(ImportText::NeedRoomidEnd));
    if (settings.titleMode == TitleMode::Markers && settings.title.start.empty())
        return problem(2, ImportText::PageListPrefix, text(ImportText::NeedTitleStart));
    if (settings.titleMode == TitleMode::Markers && settings.title.end.empty())
        return problem(2, ImportText::PageListPrefix, text(ImportText::NeedTitleEnd));
    const std::pair<const OptionalField *, const char *> groups[] = {
            {&settings.username, ImportText::UsernameGroup},
            {&settings.reply, ImportText::ReplyGroup},
            {&settings.createtime, ImportText::CreatetimeGroup}};
    for (const auto &[field, group] : groups) {
        if (field->get && field->markers.start.empty())
            return problem(3, ImportText::PageExternPrefix,
                           text(group) + text(ImportText::NeedStart));
        if (field->get && field->markers.end.empty())
            return problem(3, ImportText::PageExternPrefix,
                           text(group) + text(ImportText::NeedEnd));
    }
    return std::nullopt;
}
