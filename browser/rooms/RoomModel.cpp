#include "RoomModel.h"

#include "KestrelTexts.h"
#include "PostPlaceholder.h"
#include "common/AppDirectory.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/SettingsXml.h"
#include "common/TemplateExpansion.h"
#include "common/TextFormat.h"

#include <QDomDocument>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <limits>

struct RoomModel::RoomElement
{
    std::string label;
    std::string table;
    std::string roomidAttribute; // exactly as written, marker included
    bool hasChildNodes = false;
    std::vector<RoomElement> subRooms;
    std::vector<std::string> rangeTexts; // read for top-level rooms only
};

namespace {

// A forum tree is a handful of levels deep; a deeper file is not a configuration.
constexpr int MaxNesting = 256;

std::string elementText(const QDomElement &element)
{
    for (QDomNode child = element.firstChild(); !child.isNull(); child = child.nextSibling()) {
        if (child.isText() || child.isCDATASection())
            return Gbk::fromQString(child.nodeValue());
    }
    return std::string();
}

} // namespace

bool RoomModel::readRoomElement(const QDomElement &element, bool topLevel, int depth,
                                std::string &reason, RoomElement &room)
{
    if (depth > MaxNesting) {
        reason = "rooms nested more than " + std::to_string(MaxNesting) + " levels deep";
        return false;
    }
    const QString roomName = QString::fromUtf8(KestrelText::ElementRoom);
    const QString rangeName = QString::fromUtf8(KestrelText::ElementPostRange);
    room.label = elementText(element);
    room.table =
            Gbk::fromQString(element.attribute(QString::fromUtf8(KestrelText::AttributeTable)));
    room.roomidAttribute =
            Gbk::fromQString(element.attribute(QString::fromUtf8(KestrelText::AttributeRoomId)));
    room.hasChildNodes = element.hasChildNodes();
    for (QDomElement child = element.firstChildElement(); !child.isNull();
         child = child.nextSiblingElement()) {
        if (child.tagName() == roomName) {
            room.subRooms.emplace_back();
            if (!readRoomElement(child, false, depth + 1, reason, room.subRooms.back()))
                return false;
        } else if (topLevel && child.tagName() == rangeName) {
            room.rangeTexts.push_back(elementText(child));
        }
    }
    return true;
}

namespace {

// A bound as the file writes it: decimal, a negative one wraps to a large unsigned value.
bool parseBound(const std::string &field, std::uint32_t &value)
{
    const char *begin = field.c_str();
    char *end = nullptr;
    errno = 0;
    const long long number = std::strtoll(begin, &end, 10);
    if (end == begin || *end != '\0')
        return false;
    if (errno == ERANGE || number > std::numeric_limits<std::uint32_t>::max())
        value = number < 0 ? 0 : std::numeric_limits<std::uint32_t>::max();
    else
        value = static_cast<std::uint32_t>(number);
    return true;
}

enum class RangeText { Valid, Malformed, ExtraFields };

// "low high template"; text after the template is left out (a template has no blanks).
RangeText parseRange(const std::string &text, PostRange &range)
{
    std::vector<std::string> fields;
    std::size_t pos = 0;
    while (fields.size() < 4) {
        while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
            ++pos;
        if (pos >= text.size())
            break;
        const std::size_t start = pos;
        while (pos < text.size() && !std::isspace(static_cast<unsigned char>(text[pos])))
            ++pos;
        fields.push_back(text.substr(start, pos - start));
    }
    if (fields.size() < 3 || !parseBound(fields[0], range.low)
        || !parseBound(fields[1], range.high))
        return RangeText::Malformed;
    range.pathTemplate = fields[2];
    return fields.size() > 3 ? RangeText::ExtraFields : RangeText::Valid;
}

// A post table name goes into statement texts, where it cannot be bound: an identifier,
// or schema.identifier, each part at most 63 bytes (PostgreSQL's limit).
bool isTableName(const std::string &table)
{
    const auto isPart = [](std::string_view part) {
        const auto letter = [](char c) {
            return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
        };
        if (part.empty() || part.size() > 63 || !letter(part.front()))
            return false;
        return std::all_of(part.begin(), part.end(),
                           [&](char c) { return letter(c) || (c >= '0' && c <= '9'); });
    };
    const std::size_t dot = table.find('.');
    if (dot == std::string::npos)
        return isPart(table);
    return isPart(std::string_view(table).substr(0, dot))
            && isPart(std::string_view(table).substr(dot + 1));
}

// What the post list keeps of a room id: an unsigned 32-bit number, written as the
// database gives it back ("007" would never be found again).
bool isRoomNumber(const std::string &roomid)
{
    if (roomid.empty() || roomid.size() > 10 || (roomid.size() > 1 && roomid.front() == '0')
        || !std::all_of(roomid.begin(), roomid.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    return std::stoull(roomid) <= std::numeric_limits<std::uint32_t>::max();
}

std::string roomIdOf(const std::string &attribute)
{
    // A "*" after the first character marks the start room and ends the id.
    const std::size_t marker = attribute.find('*', 1);
    return marker == std::string::npos ? attribute : attribute.substr(0, marker);
}

// A value quoted in a message line: enough to recognise it.
std::string quoted(const std::string &value)
{
    return ShortenedText(value, 256);
}

} // namespace

void RoomModel::listSubRooms(const RoomElement &room, const std::string &parentPath,
                             std::vector<std::string> &paths, std::vector<std::string> &roomids)
{
    for (const auto &sub : room.subRooms) {
        std::string path = parentPath;
        if (!path.empty())
            path += KestrelText::SubRoomSeparator;
        path += sub.label;
        paths.push_back(path);
        roomids.push_back(sub.roomidAttribute);
        listSubRooms(sub, path, paths, roomids);
    }
}

void RoomModel::noteDoubts(const RoomElement &room, std::vector<std::string> &warnings)
{
    if (room.hasChildNodes && !isRoomNumber(roomIdOf(room.roomidAttribute)))
        warnings.push_back(FormatText(Gbk::literal(KestrelText::BadRoomId).c_str(),
                                      quoted(room.label).c_str(),
                                      quoted(room.roomidAttribute).c_str()));
    for (const std::string &text : room.rangeTexts) {
        PostRange range;
        const RangeText parsed = parseRange(text, range);
        if (parsed != RangeText::Valid)
            warnings.push_back(FormatText(Gbk::literal(parsed == RangeText::Malformed
                                                               ? KestrelText::BadPostRange
                                                               : KestrelText::PostRangeTooLong)
                                                  .c_str(),
                                          quoted(room.label).c_str(), quoted(text).c_str()));
    }
    for (const RoomElement &sub : room.subRooms)
        noteDoubts(sub, warnings);
}

RoomModel::RoomModel() = default;
RoomModel::~RoomModel() = default;

std::string RoomModel::TreeConfigPath(const std::optional<std::string> &argument)
{
    return FileSystem::normalize(
            AppDirectoryWithSlash()
            + (argument ? *argument : std::string(KestrelText::DefaultTreeConfig)));
}

bool RoomModel::LoadTreeConfig(const std::string &path, std::string *reason)
{
    std::string bytes;
    if (const std::error_code error = FileSystem::readSettingsFile(path, bytes)) {
        if (reason)
            *reason = FileSystem::errorText(error);
        return false;
    }
    QDomDocument document;
    if (!ParseSettingsXml(bytes, document, reason))
        return false;

    const QString roomName = QString::fromUtf8(KestrelText::ElementRoom);
    const QString connectionName = QString::fromUtf8(KestrelText::ElementConnection);
    std::vector<RoomElement> elements;
    std::vector<std::string> tables;
    std::string connection;
    const QDomElement root = document.documentElement();
    for (QDomElement child = root.firstChildElement(); !child.isNull();
         child = child.nextSiblingElement()) {
        if (child.tagName() == roomName) {
            elements.emplace_back();
            std::string why;
            if (!readRoomElement(child, true, 1, why, elements.back())) {
                if (reason)
                    *reason = why;
                return false;
            }
        } else if (child.tagName() == connectionName) {
            connection.clear();
            ExpandTemplate(elementText(child), connection, nullptr, commonKind,
                           ResolvePostPlaceholder);
        }
    }

    // A top-level room without a post table is left out everywhere, not only from the
    // tree: the root indices of the rooms after it must name the same element, table,
    // post location table and sub-rooms in every look-up.
    std::erase_if(elements, [](const RoomElement &element) { return element.table.empty(); });
    for (const RoomElement &element : elements) {
        if (!isTableName(element.table)) {
            if (reason)
                *reason = FormatText(Gbk::literal(KestrelText::BadRootTable).c_str(),
                                     quoted(element.label).c_str(), quoted(element.table).c_str());
            return false;
        }
    }
    std::vector<std::string> warnings;
    for (const RoomElement &element : elements)
        noteDoubts(element, warnings);
    warnings_ = std::move(warnings);
    rootElements_ = std::move(elements);
    connectionString_ = std::move(connection);
    for (const RoomElement &element : rootElements_) {
        buildRoom(element, std::int32_t(tables_.size()), nullptr);
        tables_.push_back(element.table);
    }
    return true;
}

void RoomModel::buildRoom(const RoomElement &element, std::int32_t rootIndex, RoomNode *parent)
{
    if (!element.hasChildNodes)
        return;
    RoomNode &node = nodes_.emplace_back();
    node.parent = parent;
    node.label = element.label;
    node.recordIndex = int(records_.size());
    (parent ? parent->children : topLevel_).push_back(&node);

    RoomRecord record;
    record.rootIndex = rootIndex;
    record.treeItem = &node;
    record.roomname = element.label;
    record.roomid = roomIdOf(element.roomidAttribute);
    if (record.roomid.size() != element.roomidAttribute.size())
        startRoom_ = &node;
    records_.push_back(std::move(record));

    for (const RoomElement &sub : element.subRooms)
        buildRoom(sub, rootIndex, &node);
}

const RoomModel::RoomElement *RoomModel::rootElement(std::int32_t rootIndex) const
{
    const std::size_t index = std::uint16_t(rootIndex);
    return index < rootElements_.size() ? &rootElements_[index] : nullptr;
}

std::string RoomModel::GetConnectionString() const
{
    return connectionString_;
}

std::string RoomModel::GetRootTable(std::int32_t rootIndex) const
{
    const std::size_t index = std::uint16_t(rootIndex);
    return index < tables_.size() ? tables_[index] : std::string();
}

RoomRecord RoomModel::GetRoomRecord(int index) const
{
    if (index < 0 || std::size_t(index) >= records_.size())
        return RoomRecord();
    return records_[std::size_t(index)];
}

RoomRecord RoomModel::GetRoomRecordOfItem(TreeItem item) const
{
    return item ? GetRoomRecord(item->recordIndex) : RoomRecord();
}

void RoomModel::ListRootRooms(std::vector<std::string> &names, std::vector<std::string> &tables,
                              std::vector<std::string> *roomids) const
{
    for (std::size_t i = 0; i < rootElements_.size(); ++i) {
        names.push_back(rootElements_[i].label);
        tables.push_back(i < tables_.size() ? tables_[i] : std::string());
        if (roomids)
            roomids->push_back(rootElements_[i].roomidAttribute);
    }
}

void RoomModel::ListSubRooms(std::int32_t rootIndex, std::vector<std::string> &paths,
                             std::vector<std::string> &roomids) const
{
    if (const RoomElement *root = rootElement(rootIndex))
        listSubRooms(*root, std::string(), paths, roomids);
}

std::string RoomModel::FindRoomName(const std::string &roomid) const
{
    for (const RoomRecord &record : records_) {
        if (record.roomid == roomid)
            return record.roomname;
    }
    return std::string();
}

int RoomModel::BuildRoomPaths(const std::string &roomid, std::string &namePath,
                              std::string &idPath) const
{
    const RoomRecord *found = nullptr;
    for (const RoomRecord &record : records_) {
        if (record.roomid == roomid) {
            found = &record;
            break;
        }
    }
    if (!found)
        return 1;
    std::string names, ids;
    for (TreeItem node = found->treeItem; node; node = node->parent) {
        const RoomRecord &record = records_[std::size_t(node->recordIndex)];
        names.insert(0, record.roomname);
        ids.insert(0, record.roomid);
        if (node->parent) {
            names.insert(0, 1, '\\');
            ids.insert(0, 1, '\\');
        }
    }
    namePath = std::move(names);
    idPath = std::move(ids);
    return 0;
}

int RoomModel::LoadPostRanges(std::int32_t rootIndex)
{
    const std::lock_guard lock(pathMutex_);
    return loadPostRangesLocked(rootIndex);
}

int RoomModel::loadPostRangesLocked(std::int32_t rootIndex)
{
    ranges_ = ParsePostRanges(rootIndex);
    return int(ranges_.size());
}

std::vector<PostRange> RoomModel::ParsePostRanges(std::int32_t rootIndex) const
{
    std::vector<PostRange> ranges;
    if (const RoomElement *root = rootElement(rootIndex)) {
        for (const std::string &text : root->rangeTexts) {
            PostRange range;
            if (parseRange(text, range) != RangeText::Malformed)
                ranges.push_back(std::move(range));
        }
    }
    return ranges;
}

std::vector<PostRange> RoomModel::PostRanges() const
{
    const std::lock_guard lock(pathMutex_);
    return ranges_;
}

TreeItem RoomModel::FindChildItem(TreeItem parent, const std::string &text) const
{
    for (TreeItem child : parent ? parent->children : topLevel_) {
        if (child->label == text)
            return child;
    }
    return nullptr;
}

std::string RoomModel::expandPostPath(PostPathContext &context, const std::string &roomidText,
                                      std::int32_t rootIndex, bool *matched,
                                      std::string *archiveFolder)
{
    BuildRoomPaths(roomidText, context.roomNamePath, context.roomIdPath);
    const std::lock_guard lock(pathMutex_);
    loadPostRangesLocked(rootIndex);
    for (const PostRange &range : ranges_) {
        if (range.low <= context.topicid && context.topicid <= range.high) {
            std::string path;
            ExpandTemplate(range.pathTemplate, path, &context, postKind, ResolvePostPlaceholder);
            if (archiveFolder)
                *archiveFolder = PostArchiveFolder(range.pathTemplate);
            *matched = true;
            return path;
        }
    }
    *matched = false;
    return std::string();
}

std::string RoomModel::LocatePostFile(const PostRowInfo &row, std::int32_t rootIndex,
                                      std::string *archiveFolder)
{
    PostPathContext context;
    context.topicid = ParseTopicId(row.topicidText);
    context.roomid = row.roomid;
    context.roomname = row.roomname;
    context.title = row.title;
    bool matched = false;
    return expandPostPath(context, std::to_string(row.roomid), rootIndex, &matched, archiveFolder);
}

std::string RoomModel::GetExpectedPostPath(std::uint32_t topicid, std::int32_t rootIndex,
                                           const std::string &roomid, const std::string &title)
{
    PostPathContext context;
    context.title = title;
    context.roomid = static_cast<std::uint32_t>(std::strtoul(roomid.c_str(), nullptr, 10));
    context.roomname = FindRoomName(roomid);
    context.topicid = topicid;
    bool matched = false;
    std::string path = expandPostPath(context, roomid, rootIndex, &matched);
    return matched ? path : context.roomname;
}

std::uint32_t RoomModel::ParseTopicId(const std::string &text)
{
    // As a 32-bit strtoul with base 0 reads it: sign, "0x" hexadecimal, "0" octal,
    // saturating on overflow.
    std::size_t pos = 0;
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        negative = text[pos++] == '-';
    if (pos >= text.size() || !std::isalnum(static_cast<unsigned char>(text[pos])))
        return 0;
    errno = 0;
    const unsigned long long magnitude = std::strtoull(text.c_str() + pos, nullptr, 0);
    if (errno == ERANGE || magnitude > std::numeric_limits<std::uint32_t>::max())
        return std::numeric_limits<std::uint32_t>::max();
    const auto value = static_cast<std::uint32_t>(magnitude);
    return negative ? static_cast<std::uint32_t>(0u - value) : value;
}
