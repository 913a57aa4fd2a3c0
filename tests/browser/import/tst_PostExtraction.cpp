#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/import/ImportTexts.h"
#include "browser/import/PostExtraction.h"
#include "common/Codec.h"
#include "common/RoomConversion.h"

namespace {

struct Extracted
{
    ExtractionResult result;
    PostFields fields;
    std::string line;
};

class Extractor
{
public:
    Extractor()
    {
        settings = DefaultImportSettings();
        settings.topicidMode = TopicidMode::FileName;
        settings.title = {"<title>", "</title>"};
        settings.roomid = {"<roomid>", "</roomid>"};
        columns.hasUsername = columns.hasReply = columns.hasCreatetime = true;
        conversion.Append("7", gbk("闲聊"));
        conversion.Append("8", gbk("编程"));
    }
    Extracted run(const std::string &bytes, const std::string &path = "/in/15/123.htm",
                  std::optional<std::uint32_t> counter = std::nullopt,
                  const std::string &nodeRoomid = std::string())
    {
        ImportSettings lowered = settings;
        LowerCaseMarkers(lowered);
        ExtractionContext context;
        context.settings = &lowered;
        context.conversion = &conversion;
        context.columns = columns;
        Extracted out;
        out.result = ExtractPostFields(context, bytes, path, FileTitleOf(FileNameOf(path)),
                                       nodeRoomid, counter, out.fields, out.line);
        return out;
    }

    ImportSettings settings;
    PostColumns columns;
    RoomConversionTable conversion;
};

std::string line(const char *format, const std::string &argument)
{
    std::string text = Gbk::literal(format);
    return text.replace(text.find("%s"), 2, argument);
}

} // namespace

class TestPostExtraction : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void searchTextIsCutAndLowerCased()
    {
        const std::string bytes = gbk("AbＣ标题\x01Z") + std::string("X\0Y", 3);
        QCOMPARE(BuildSearchText(bytes), gbk("abｃ标题\x01z") + "x");
        QCOMPARE(BuildSearchText(std::string("\0AB", 3)), std::string());
        // Lengths never change: an offset in the search text is one in the file.
        const std::string mixed = gbk("ＡＢＣ ÀΣ Ⅻ");
        QCOMPARE(BuildSearchText(mixed).size(), mixed.size());
    }

    void fileNamesAndFolders()
    {
        QCOMPARE(FileTitleOf("12.34.htm"), std::string("12.34"));
        QCOMPARE(FileTitleOf(".htm"), std::string());
        QCOMPARE(FileTitleOf("abc"), std::string("abc"));
        QCOMPARE(FileNameOf("/a/b/c.htm"), std::string("c.htm"));
        QCOMPARE(FolderNameOf("/a/b/c.htm"), std::string("b"));
        QCOMPARE(FolderNameOf("a\\15\\c.htm"), std::string("15"));
        QCOMPARE(FolderNameOf("c.htm"), std::string());
    }

    void topicidFromTheFileName()
    {
        Extractor x;
        const std::string page = "<roomid>5</roomid><title>T</title>";
        QCOMPARE(x.run(page, "/in/00123.htm").fields.topicid, std::string("00123"));
        const Extracted letters = x.run(page, "/in/d/123a.htm");
        QCOMPARE(letters.result, ExtractionResult::Reported);
        QCOMPARE(letters.line, line(ImportText::NotDigitsName, "123a"));
        QCOMPARE(x.run(page, "/in/12.34.htm").line, line(ImportText::NotDigitsName, "12.34"));
        const Extracted onlyExtension = x.run(page, "/in/.htm");
        QCOMPARE(onlyExtension.result, ExtractionResult::Extracted);
        QCOMPARE(onlyExtension.fields.topicid, std::string());

        x.settings.topicidMode = TopicidMode::AutoGrow;
        QCOMPARE(x.run(page, "/in/abc.htm", 4294967295u).fields.topicid, std::string("4294967295"));
        QCOMPARE(x.run(page, "/in/abc.htm").fields.topicid, std::string()); // numbered later
        x.settings.topicidMode = 2;
        QCOMPARE(x.run(page).result, ExtractionResult::SkippedSilently);
    }

    void titleKeepsTheFilesCaseOtherFieldsAreLowerCase()
    {
        Extractor x;
        x.settings.reply = {true, {"<TITLE>", "</TITLE>"}};
        x.settings.username = {true, {"<User>", "</User>"}};
        x.settings.createtime = {true, {"<T>", "</T>"}};
        const Extracted out =
                x.run(gbk("<ROOMID>15</ROOMID><TITLE>Mixed Case ＡＢ</TITLE><USER>LiLei</USER>"
                          "<t>2001-01-01 AM</t>"));
        QCOMPARE(out.result, ExtractionResult::Extracted);
        QCOMPARE(out.fields.title, gbk("Mixed Case ＡＢ"));
        QCOMPARE(out.fields.reply, gbk("mixed case ａｂ"));
        QCOMPARE(out.fields.username, std::string("LiLei"));
        QCOMPARE(out.fields.createtime, std::string("2001-01-01 am"));
        QCOMPARE(out.fields.roomid, std::string("15"));
        QCOMPARE(out.fields.path, std::string("/in/15/123.htm"));

        // The second start marker stays inside the value.
        QCOMPARE(x.run("<roomid>1</roomid><title>a<title>b</title>").fields.title,
                 std::string("a<title>b"));
        // Searched only up to a zero byte.
        const Extracted cut = x.run(std::string("<roomid>1</roomid><title>a\0</title>", 35));
        QCOMPARE(cut.result, ExtractionResult::Reported);
        QCOMPARE(cut.line, line(ImportText::NoTitle, "123.htm")); // the file name only
    }

    void optionalFieldsNeedTheirColumn()
    {
        Extractor x;
        x.settings.reply = {true, {"<r>", "</r>"}};
        x.settings.username = {true, {"<u>", "</u>"}};
        x.columns = PostColumns();
        const Extracted out = x.run("<roomid>1</roomid><title>t</title><r>3</r><u>x</u>");
        QCOMPARE(out.fields.reply, std::string());
        QCOMPARE(out.fields.username, std::string());
        x.columns.hasReply = true;
        x.settings.username.get = false;
        x.columns.hasUsername = true;
        const Extracted some = x.run("<roomid>1</roomid><title>t</title><r>3</r><u>x</u>");
        QCOMPARE(some.fields.reply, std::string("3"));
        QCOMPARE(some.fields.username, std::string());
    }

    void everyRoomidMode()
    {
        Extractor x;
        const std::string page = gbk("<roomid>编程</roomid><title>t</title>");
        QCOMPARE(x.run(page).fields.roomid, gbk("编程"));
        x.settings.roomidMode = RoomidMode::ConvertedName;
        QCOMPARE(x.run(page).fields.roomid, std::string("8"));
        const Extracted absent = x.run(gbk("<roomid>别处</roomid><title>t</title>"));
        QCOMPARE(absent.result, ExtractionResult::Reported);
        QCOMPARE(absent.line, line(ImportText::NoRoomid, "123.htm"));
        x.settings.roomidMode = RoomidMode::StartMarkerValue;
        x.settings.roomid = {"ABC", ""};
        QCOMPARE(x.run(page).fields.roomid, std::string("abc")); // lower-cased by the run
        x.settings.roomidMode = RoomidMode::FolderIsRoomname;
        QCOMPARE(x.run(page, "/in/a/1.htm", std::nullopt, "42").fields.roomid, std::string("42"));
        x.settings.roomidMode = RoomidMode::FolderIsRoomid;
        QCOMPARE(x.run(page, "/imp/15/1.htm").fields.roomid, std::string("15"));
        QCOMPARE(x.run(page, "/imp/1.htm").fields.roomid, std::string("imp"));
        x.settings.roomidMode = 9;
        QCOMPARE(x.run(page, "/imp/15/1.htm").fields.roomid, std::string("15"));
        x.settings.roomidMode = -1;
        QCOMPARE(x.run(page).result, ExtractionResult::SkippedSilently);
    }

    void emptyEndMarkerGivesAnEmptyRoomid()
    {
        Extractor x;
        x.settings.roomid = {"<roomid>", ""};
        const Extracted out = x.run("<roomid>15</roomid><title>t</title>");
        QCOMPARE(out.result, ExtractionResult::Reported);
        QCOMPARE(out.line, line(ImportText::NoRoomid, "123.htm"));
    }

    void titleModes()
    {
        Extractor x;
        x.settings.titleMode = TitleMode::FileName;
        QCOMPARE(x.run("<roomid>1</roomid>", "/d/77.htm").fields.title, std::string("77"));
        x.settings.titleMode = 3;
        QCOMPARE(x.run("<roomid>1</roomid>").result, ExtractionResult::SkippedSilently);
    }

    void longLinesAreCutBetweenCharacters()
    {
        std::string text(4094, 'a');
        text += gbk("汉字");
        const std::string cut = CutMessageLine(text);
        QCOMPARE(cut.size(), std::size_t(4094));
        QCOMPARE(CutMessageLine(std::string(5000, 'b')).size(), std::size_t(4095));
        QCOMPARE(CutMessageLine("short"), std::string("short"));
    }
};

QUILLERY_REGISTER_TEST(TestPostExtraction)
#include "tst_PostExtraction.moc"
