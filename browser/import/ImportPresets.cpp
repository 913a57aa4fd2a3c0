#include "ImportPresets.h"

#include "ImportTexts.h"
#include "browser/rooms/PostPlaceholder.h"
#include "common/AppDirectory.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/SettingsXml.h"
#include "common/TemplateExpansion.h"

#include <QDomDocument>

#include <limits>

namespace {

std::string elementValue(const QDomElement &element)
{
    for (QDomNode child = element.firstChild(); !child.isNull(); child = child.nextSibling()) {
        if (child.isText() || child.isCDATASection())
            return Gbk::fromQString(child.nodeValue());
    }
    return std::string();
}

// "具体内容项" followed by a decimal number without leading zeros; -1 for other names.
std::int32_t contentsIndex(const QString &tagName, const QString &prefix)
{
    if (!tagName.startsWith(prefix) || tagName.size() == prefix.size())
        return -1;
    const QStringView digits = QStringView(tagName).mid(prefix.size());
    if (digits.size() > 1 && digits.front() == u'0')
        return -1;
    long long value = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c.unicode() - u'0');
        if (value > std::numeric_limits<std::int32_t>::max())
            return -1;
    }
    return std::int32_t(value);
}

std::string expanded(const std::string &raw)
{
    std::string out;
    ExpandTemplate(raw, out, nullptr, commonKind, ResolvePostPlaceholder);
    return out;
}

} // namespace

std::string PresetsFilePath()
{
    return FileSystem::normalize(AppDirectoryWithSlash() + ImportText::PresetsFile);
}

bool LoadPresetList(const std::string &path, PresetList &list, std::string *reason)
{
    std::string bytes;
    if (const std::error_code error = FileSystem::readSettingsFile(path, bytes)) {
        if (reason)
            *reason = FileSystem::errorText(error);
        return false;
    }
    return LoadPresetListFromBytes(bytes, list, reason);
}

bool LoadPresetListFromBytes(std::string_view bytes, PresetList &list, std::string *reason)
{
    list = PresetList();
    QDomDocument document;
    if (!ParseSettingsXml(bytes, document, reason))
        return false;
    const QDomElement root = document.documentElement();
    const QDomNode first = root.firstChild();
    if (!first.isElement()
        || first.toElement().tagName() != QString::fromUtf8(ImportText::ElementPresetList))
        return true;

    const QString itemName = QString::fromUtf8(ImportText::ElementPresetItem);
    for (QDomElement item = first.firstChildElement(); !item.isNull();
         item = item.nextSiblingElement()) {
        if (item.tagName() != itemName)
            continue;
        std::string name = elementValue(item);
        if (list.defaultIndex < 0 && !name.empty() && name.back() == '*') {
            name.pop_back();
            list.defaultIndex = std::int32_t(list.names.size());
        }
        list.names.push_back(std::move(name));
    }

    const QString contentsPrefix = QString::fromUtf8(ImportText::ElementPresetContents);
    for (QDomElement element = root.firstChildElement(); !element.isNull();
         element = element.nextSiblingElement()) {
        const std::int32_t index = contentsIndex(element.tagName(), contentsPrefix);
        if (index < 0 || list.contents.count(index))
            continue; // only the first contents element of a preset counts
        auto &values = list.contents[index];
        for (QDomElement key = element.firstChildElement(); !key.isNull();
             key = key.nextSiblingElement())
            values.emplace_back(Gbk::fromQString(key.tagName()), elementValue(key));
    }
    return true;
}

std::int32_t ParsePresetNumber(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || (text[pos] >= '\t' && text[pos] <= '\r')))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        negative = text[pos++] == '-';
    long long value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        value = value * 10 + (text[pos] - '0');
        if (value > std::numeric_limits<std::int32_t>::max() + 1ll)
            value = std::numeric_limits<std::int32_t>::max() + 1ll;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<std::int32_t>::max())
        value = std::numeric_limits<std::int32_t>::max();
    return std::int32_t(value);
}

std::uint32_t ApplyPreset(const PresetList &list, std::int32_t n, ImportSettings &settings)
{
    const auto found = list.contents.find(n);
    if (found == list.contents.end())
        return 0;
    struct TextKey
    {
        const char *name;
        std::uint32_t bit;
        std::string *target;
    };
    struct CheckKey
    {
        const char *name;
        std::uint32_t bit;
        bool *target;
    };
    const TextKey texts[] = {
            {"EdRoomIDStart", PresetKey::EdRoomIDStart, &settings.roomid.start},
            {"EdRoomIDEnd", PresetKey::EdRoomIDEnd, &settings.roomid.end},
            {"EdTitleStart", PresetKey::EdTitleStart, &settings.title.start},
            {"EdTitleEnd", PresetKey::EdTitleEnd, &settings.title.end},
            {"EdUserStart", PresetKey::EdUserStart, &settings.username.markers.start},
            {"EdUserEnd", PresetKey::EdUserEnd, &settings.username.markers.end},
            {"EdReplyStart", PresetKey::EdReplyStart, &settings.reply.markers.start},
            {"EdReplyEnd", PresetKey::EdReplyEnd, &settings.reply.markers.end},
            {"EdTimeStart", PresetKey::EdTimeStart, &settings.createtime.markers.start},
            {"EdTimeEnd", PresetKey::EdTimeEnd, &settings.createtime.markers.end},
            {"EdFileFormat", PresetKey::EdFileFormat, &settings.filePattern},
            {"ImportTable", PresetKey::ImportTable, &settings.table},
    };
    const CheckKey checks[] = {
            {"UsernameGet", PresetKey::UsernameGet, &settings.username.get},
            {"ReplyGet", PresetKey::ReplyGet, &settings.reply.get},
            {"TimeGet", PresetKey::TimeGet, &settings.createtime.get},
            {"ChkTopicidBeforeInsert", PresetKey::ChkTopicidBeforeInsert, &settings.checkTopicid},
            {"ChkTitleBeforeInsert", PresetKey::ChkTitleBeforeInsert, &settings.checkTitle},
    };

    std::uint32_t applied = 0;
    for (const auto &[key, raw] : found->second) {
        if (key == "RadioRoomID") {
            settings.roomidMode = settings.selectedRoomMode() ? RoomidMode::StartMarkerValue
                                                              : ParsePresetNumber(raw);
            applied |= PresetKey::RadioRoomID;
        } else if (key == "RadioTopicid") {
            settings.topicidMode = ParsePresetNumber(raw);
            applied |= PresetKey::RadioTopicid;
        } else if (key == "RadioTitle") {
            settings.titleMode = ParsePresetNumber(raw);
            applied |= PresetKey::RadioTitle;
        } else if (key == "EdTopicidAutogrowStart") {
            if (!raw.empty()) {
                settings.autoGrowStart = ParsePresetNumber(raw);
                applied |= PresetKey::EdTopicidAutogrowStart;
            }
        } else {
            bool known = false;
            for (const TextKey &text : texts) {
                if (key == text.name) {
                    *text.target = expanded(raw);
                    applied |= text.bit;
                    known = true;
                    break;
                }
            }
            for (std::size_t i = 0; !known && i < std::size(checks); ++i) {
                if (key == checks[i].name) {
                    *checks[i].target = ParsePresetNumber(raw) != 0;
                    applied |= checks[i].bit;
                    known = true;
                }
            }
        }
    }
    return applied;
}

std::vector<std::int32_t> ListedPresets(const PresetList &list, bool selectedRoomMode)
{
    std::vector<std::int32_t> listed;
    if (selectedRoomMode) {
        if (std::size_t(list.resultIndex()) < list.names.size())
            listed.push_back(list.resultIndex());
        return listed;
    }
    for (std::int32_t i = 0; i < std::int32_t(list.names.size()); ++i) {
        if (i != list.defaultIndex)
            listed.push_back(i);
    }
    return listed;
}

std::int32_t PresetOfListEntry(const PresetList &list, std::int32_t entry)
{
    return list.defaultIndex >= 0 && entry >= list.defaultIndex ? entry + 1 : entry;
}

std::int32_t FindPreset(const PresetList &list, const std::string &name)
{
    for (std::size_t i = 0; i < list.names.size(); ++i) {
        if (list.names[i] == name)
            return std::int32_t(i);
    }
    return -1;
}
