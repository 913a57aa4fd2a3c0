#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/import/ImportPresets.h"
#include "common/FileSystem.h"

namespace {

// A presets file in GBK around the given body of the root.
std::string presetsFile(const char *body)
{
    return gbk(
            (std::string("<?xml version=\"1.0\" encoding=\"GBK\"?>\n<预设>") + body + "</预设>\n")
                    .c_str());
}

PresetList load(const char *body)
{
    PresetList list;
    std::string reason;
    const bool loaded = LoadPresetListFromBytes(presetsFile(body), list, &reason);
    if (!loaded)
        qWarning("%s", qPrintable(show(reason)));
    return list;
}

const char ThreePresets[] = "<下拉列表填充><下拉列表项>A</下拉列表项><注释/>"
                            "<下拉列表项>B*</下拉列表项><下拉列表项>C</下拉列表项></下拉列表填充>"
                            "<具体内容项0><RadioRoomID>1</RadioRoomID></具体内容项0>"
                            "<具体内容项1><RadioRoomID>4</RadioRoomID></具体内容项1>"
                            "<具体内容项2><RadioRoomID>3</RadioRoomID></具体内容项2>";

} // namespace

class TestImportPresets : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void defaultIsHiddenInNormalModeAndAloneInSelectedRoomMode()
    {
        const PresetList list = load(ThreePresets);
        QCOMPARE(list.names, (std::vector<std::string> {"A", "B", "C"}));
        QCOMPARE(list.defaultIndex, 1);
        QCOMPARE(list.resultIndex(), 1);
        QCOMPARE(ListedPresets(list, false), (std::vector<std::int32_t> {0, 2}));
        QCOMPARE(PresetOfListEntry(list, 0), 0);
        QCOMPARE(PresetOfListEntry(list, 1), 2); // choosing C applies preset 2
        QCOMPARE(ListedPresets(list, true), (std::vector<std::int32_t> {1}));

        ImportSettings settings = DefaultImportSettings();
        ApplyPreset(list, PresetOfListEntry(list, 1), settings);
        QCOMPARE(settings.roomidMode, 3);
    }

    void onlyTheFirstStarMarksTheDefault()
    {
        const PresetList list = load("<下拉列表填充><下拉列表项>A*</下拉列表项>"
                                     "<下拉列表项>B*</下拉列表项></下拉列表填充>");
        QCOMPARE(list.names, (std::vector<std::string> {"A", "B*"}));
        QCOMPARE(list.defaultIndex, 0);
        QCOMPARE(ListedPresets(list, false), (std::vector<std::int32_t> {1}));

        const PresetList none = load("<下拉列表填充><下拉列表项>A</下拉列表项></下拉列表填充>");
        QCOMPARE(none.defaultIndex, -1);
        QCOMPARE(none.resultIndex(), 0);
        QCOMPARE(ListedPresets(none, true), (std::vector<std::int32_t> {0}));
    }

    void listMustBeTheRootsFirstChild()
    {
        QVERIFY(load("<!-- 说明 --><下拉列表填充><下拉列表项>A</下拉列表项></下拉列表填充>")
                        .names.empty());
        QVERIFY(load("<别的/><下拉列表填充><下拉列表项>A</下拉列表项></下拉列表填充>")
                        .names.empty());
        PresetList list;
        QVERIFY(!LoadPresetListFromBytes("<a><b></a>", list));
        QVERIFY(!LoadPresetListFromBytes("", list));
        QVERIFY(!LoadPresetList("/nonexistent/XmlListInfo.xml", list));
    }

    void valuesAreExpandedAndNumbersReadLikeAtoi()
    {
        const PresetList list =
                load("<下拉列表填充><下拉列表项>A</下拉列表项></下拉列表填充>"
                     "<具体内容项0>"
                     "<EdTitleStart><![CDATA[<td class=\"t\">]]></EdTitleStart>"
                     "<EdTitleEnd>|NEWLINE||ENTER|&lt;/td&gt;</EdTitleEnd>"
                     "<EdRoomIDStart>a||b|TAB|c</EdRoomIDStart>"
                     "<RadioTopicid>  -12abc</RadioTopicid>"
                     "<RadioTitle>abc</RadioTitle>"
                     "<UsernameGet>2</UsernameGet><ReplyGet>0</ReplyGet>"
                     "<ChkTitleBeforeInsert>0</ChkTitleBeforeInsert>"
                     "<EdFileFormat>*.xml</EdFileFormat><ImportTable>posts</ImportTable>"
                     "<EdUserEnd><b>no text</b></EdUserEnd>"
                     "<Unknown>x</Unknown>"
                     "<RadioRoomID>1</RadioRoomID><RadioRoomID>7</RadioRoomID>"
                     "</具体内容项0>");
        ImportSettings settings = DefaultImportSettings();
        settings.username.markers.end = "kept?";
        const std::uint32_t applied = ApplyPreset(list, 0, settings);
        QCOMPARE(settings.title.start, std::string("<td class=\"t\">"));
        QCOMPARE(settings.title.end, std::string("\r\n</td>"));
        QCOMPARE(settings.roomid.start, std::string("a|b\tc"));
        QCOMPARE(settings.topicidMode, -12);
        QCOMPARE(settings.titleMode, 0);
        QVERIFY(settings.username.get);
        QVERIFY(!settings.reply.get);
        QVERIFY(!settings.checkTitle);
        QVERIFY(settings.checkTopicid); // not named: unchanged
        QCOMPARE(settings.filePattern, std::string("*.xml"));
        QCOMPARE(settings.table, std::string("posts"));
        QCOMPARE(settings.username.markers.end, std::string()); // named, no text
        QCOMPARE(settings.roomidMode, 7); // the later key wins, stored as it is
        QCOMPARE(settings.autoGrowStart, 10000);
        QVERIFY(applied & PresetKey::RadioRoomID);
        QVERIFY(!(applied & PresetKey::EdTopicidAutogrowStart));
        QVERIFY(!(applied & PresetKey::EdReplyStart));
    }

    void autoGrowStartOnlyWhenGiven()
    {
        const PresetList list =
                load("<下拉列表填充/>"
                     "<具体内容项0><EdTopicidAutogrowStart/></具体内容项0>"
                     "<具体内容项1><EdTopicidAutogrowStart>0</EdTopicidAutogrowStart>"
                     "</具体内容项1>"
                     "<具体内容项2><EdTopicidAutogrowStart>99999999999"
                     "</EdTopicidAutogrowStart></具体内容项2>");
        ImportSettings settings = DefaultImportSettings();
        ApplyPreset(list, 0, settings);
        QCOMPARE(settings.autoGrowStart, 10000);
        ApplyPreset(list, 1, settings);
        QCOMPARE(settings.autoGrowStart, 0);
        ApplyPreset(list, 2, settings);
        QCOMPARE(settings.autoGrowStart, 2147483647);
        QCOMPARE(ParsePresetNumber("-99999999999"), -2147483647 - 1);
        QCOMPARE(ParsePresetNumber(" +5 6"), 5);
    }

    void contentsElementsByExactName()
    {
        const PresetList list = load("<下拉列表填充/>"
                                     "<具体内容项01><RadioTitle>1</RadioTitle></具体内容项01>"
                                     "<具体内容项1><RadioTitle>1</RadioTitle></具体内容项1>"
                                     "<具体内容项1><RadioTitle>0</RadioTitle></具体内容项1>");
        ImportSettings settings = DefaultImportSettings();
        settings.titleMode = 5;
        QCOMPARE(ApplyPreset(list, 3, settings), 0u); // no contents: nothing changes
        QCOMPARE(settings.titleMode, 5);
        ApplyPreset(list, 1, settings); // the first "具体内容项1" only
        QCOMPARE(settings.titleMode, 1);
    }

    void selectedRoomModeKeepsModeTwo()
    {
        const PresetList list = load(ThreePresets);
        ImportSettings settings = DefaultImportSettings();
        SetImportTarget(settings, "111", "LangPosts");
        ApplyPreset(list, list.resultIndex(), settings);
        QCOMPARE(settings.roomidMode, RoomidMode::StartMarkerValue);
        QCOMPARE(settings.roomid.start, std::string("111"));
        QCOMPARE(settings.table, std::string("LangPosts"));
        QVERIFY(settings.selectedRoomMode());
    }

    void shippedPresetsFile()
    {
        PresetList list;
        std::string reason;
        QVERIFY2(LoadPresetList(std::string(QUILLERY_SOURCE_DIR) + "/Configs/XmlListInfo.xml", list,
                                &reason),
                 qPrintable(show(reason)));
        QVERIFY(list.names.size() >= 2);
        QVERIFY(list.defaultIndex >= 0);
        for (std::int32_t i = 0; i < std::int32_t(list.names.size()); ++i) {
            ImportSettings settings = DefaultImportSettings();
            QVERIFY(ApplyPreset(list, i, settings) != 0);
            QCOMPARE(FindPreset(list, list.names[std::size_t(i)]), i);
        }
        QCOMPARE(FindPreset(list, "no such preset"), -1);
    }
};

QUILLERY_REGISTER_TEST(TestImportPresets)
#include "tst_ImportPresets.moc"
