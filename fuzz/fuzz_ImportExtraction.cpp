// Field extraction of the import over arbitrary file bytes and markers, with every
// mode, followed by the statements the row would be shown and bound with.
// Input: mode bytes, ten markers and the file name (each a length byte and its bytes),
// then the file's bytes.

#include "browser/import/InsertStatements.h"
#include "browser/import/PostExtraction.h"
#include "common/Codec.h"
#include "common/RoomConversion.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

class Reader
{
public:
    Reader(const std::uint8_t *data, std::size_t size)
        : rest_(reinterpret_cast<const char *>(data), size)
    {
    }
    std::uint8_t byte()
    {
        if (rest_.empty())
            return 0;
        const auto value = static_cast<std::uint8_t>(rest_.front());
        rest_.remove_prefix(1);
        return value;
    }
    std::string text()
    {
        const std::size_t length = std::min<std::size_t>(byte() % 24, rest_.size());
        std::string value(rest_.substr(0, length));
        rest_.remove_prefix(length);
        return value;
    }
    std::string_view rest() const { return rest_; }

private:
    std::string_view rest_;
};

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Reader in(data, size);
    ImportSettings settings;
    const std::uint8_t modes = in.byte();
    settings.roomidMode = std::int32_t(modes % 7) - 1;
    settings.topicidMode = (modes >> 3) % 3;
    settings.titleMode = (modes >> 5) % 3;
    const std::uint8_t flags = in.byte();
    settings.username.get = flags & 1;
    settings.reply.get = flags & 2;
    settings.createtime.get = flags & 4;
    for (MarkerPair *pair : {&settings.roomid, &settings.title, &settings.username.markers,
                             &settings.reply.markers, &settings.createtime.markers}) {
        pair->start = in.text();
        pair->end = in.text();
    }
    LowerCaseMarkers(settings);
    const std::string name = in.text();
    const std::string path = "/import/" + std::to_string(flags) + "/" + name;
    const std::string file(in.rest());

    RoomConversionTable conversion;
    conversion.Append("1", "a");
    conversion.Append("2", Gbk::toLower(name));
    ExtractionContext context;
    context.settings = &settings;
    context.conversion = &conversion;
    context.columns = {bool(flags & 8), bool(flags & 16), bool(flags & 32), bool(flags & 64)};

    const std::string search = BuildSearchText(file);
    check(search.size() <= file.size());
    check(std::memchr(search.data(), 0, search.size()) == nullptr);

    PostFields fields;
    std::string line;
    const ExtractionResult result =
            ExtractPostFields(context, file, path, FileTitleOf(FileNameOf(path)), "9",
                              std::uint32_t(flags) * 16777619u, fields, line);
    check(line.size() <= 4095);
    if (result != ExtractionResult::Extracted)
        return 0;
    check(!fields.roomid.empty());
    // Values taken from the file are slices of it, before its first zero byte.
    for (const std::string *value :
         {settings.titleMode == TitleMode::Markers ? &fields.title : &fields.username,
          &fields.username}) {
        check(value->empty() || file.find(*value) != std::string::npos);
        check(value->find('\0') == std::string::npos);
    }
    BoundStatement insert;
    const bool valid = InsertStatement("posts", fields, flags & 64, insert);
    std::size_t marks = 0;
    for (const char c : insert.sql)
        marks += c == '?';
    check(marks == insert.values.size());
    // Nothing of the file reaches the statement's text: only names, marks and commas.
    const auto onlySyntax = [](const std::string &sql) {
        return sql.find_first_not_of("abcdefghijklmnopqrstuvwxyz_(),?= ") == std::string::npos;
    };
    check(onlySyntax(insert.sql));
    (void)valid;
    const BoundStatement duplicate = DuplicateCheckStatement("posts", fields, true, true);
    check(duplicate.values.size() == 2
          && duplicate.sql == "select 1 from posts where  topicid = ?  or  title = ?");
    return 0;
}
