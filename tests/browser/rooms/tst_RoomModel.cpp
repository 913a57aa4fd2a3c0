#include "PlaceholderSpy.h"
#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/rooms/RoomModel.h"

#include <atomic>
#include <thread>

namespace {

std::string xmlFile(const char *utf8Body)
{
    return gbk("<?xml version=\"1.0\" encoding=\"GBK\"?>\n") + gbk(utf8Body);
}

const char *const ForumConfig = R"(<配置>
  <数据库连接字符串>Provider=SQLite;Data Source=first.db</数据库连接字符串>
  <帖子类型 TABLE="TA" ROOMID="1">甲区<帖子类型 ROOMID="12">乙<帖子类型 ROOMID="123">丙</帖子类型></帖子类型>
    <帖子类型 ROOMID="13*">丁</帖子类型>
    <帖子属性范围>1 100000 |APP_PATH|\a\|ROOMID_PATH|\|ID|.htm</帖子属性范围>
    <帖子属性范围>50000 200000 b/|ROOMNAME_PATH|/|ROOMNAME|/|TITLE|/|ID4|.xml</帖子属性范围>
    <帖子属性范围>only two</帖子属性范围>
    <帖子属性范围>3000000000 -1 big/|ID|</帖子属性范围>
  </帖子类型>
  <!-- comments and other elements are passed over -->
  <其他>x</其他>
  <帖子类型 TABLE="TB" ROOMID="2"><!--c--><![CDATA[戊<区>]]><帖子类型 ROOMID="21"/><帖子类型 ROOMID="22"><帖子类型 ROOMID="221">己</帖子类型></帖子类型>
    <帖子属性范围>1 4294967295 other/|ID|</帖子属性范围>
  </帖子类型>
  <帖子类型 ROOMID="3">没有表</帖子类型>
  <数据库连接字符串>Provider=SQLite;Data Source=|APP_PATH|\Data\Lumora.db</数据库连接字符串>
</配置>
)";

} // namespace

class TestRoomModel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<TempAppDir>();
        model_ = std::make_unique<RoomModel>();
    }
    void cleanup()
    {
        model_.reset();
        dir_.reset();
    }

    void loadsRoomsInPreOrder()
    {
        QVERIFY(load(ForumConfig));
        QCOMPARE(model_->TableCount(), std::size_t(2));
        QCOMPARE(model_->GetRootTable(0), std::string("TA"));
        QCOMPARE(model_->GetRootTable(1), std::string("TB"));
        // 21 is an empty element: no node, no record.
        const std::vector<std::pair<const char *, const char *>> expected {
                {"1", "甲区"},   {"12", "乙"}, {"123", "丙"}, {"13", "丁"},
                {"2", "戊<区>"}, {"22", ""},   {"221", "己"}};
        QCOMPARE(model_->RecordCount(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const RoomRecord record = model_->GetRoomRecord(int(i));
            QCOMPARE(record.roomid, std::string(expected[i].first));
            QCOMPARE(show(record.roomname), QString::fromUtf8(expected[i].second));
            QCOMPARE(record.treeItem->recordIndex, int(i));
            QCOMPARE(record.rootIndex, i < 4 ? 0 : 1);
        }
        QCOMPARE(model_->TopLevelItems().size(), std::size_t(2));
        const TreeItem a = model_->TopLevelItems()[0];
        QCOMPARE(a->children.size(), std::size_t(2));
        QCOMPARE(a->children[0]->children[0]->label, gbk("丙"));
        QCOMPARE(a->children[0]->children[0]->parent, a->children[0]);
    }

    void lastConnectionStringWinsAndIsExpanded()
    {
        QVERIFY(load(ForumConfig));
        QCOMPARE(model_->GetConnectionString(),
                 "Provider=SQLite;Data Source=" + dir_->path() + "\\Data\\Lumora.db");
        QVERIFY(load("<r><帖子类型 TABLE=\"T\">x</帖子类型></r>"));
        QCOMPARE(model_->GetConnectionString(), std::string());
    }

    void startRoomMarker_data()
    {
        QTest::addColumn<QString>("roomids");
        QTest::addColumn<QString>("expectedIds");
        QTest::addColumn<int>("startRecord");
        QTest::newRow("12*") << "12*,5"
                             << "12,5" << 0;
        QTest::newRow("12*34") << "7,12*34"
                               << "7,12" << 1;
        QTest::newRow("*12") << "*12,5"
                             << "*12,5" << -1;
        QTest::newRow("*12*") << "*12*,5"
                              << "*12,5" << 0;
        QTest::newRow("several marked, last wins") << "1*,2*,3"
                                                   << "1,2,3" << 1;
    }

    void startRoomMarker()
    {
        QFETCH(QString, roomids);
        QFETCH(QString, expectedIds);
        QFETCH(int, startRecord);
        QString body = QStringLiteral("<r><帖子类型 TABLE=\"T\" ROOMID=\"0\">top");
        for (const QString &id : roomids.split(QLatin1Char(',')))
            body += QStringLiteral("<帖子类型 ROOMID=\"%1\">n</帖子类型>").arg(id);
        body += QStringLiteral("</帖子类型></r>");
        QVERIFY(load(body.toUtf8().constData()));
        const QStringList ids = expectedIds.split(QLatin1Char(','));
        for (int i = 0; i < ids.size(); ++i)
            QCOMPARE(QString::fromStdString(model_->GetRoomRecord(i + 1).roomid), ids[i]);
        if (startRecord < 0)
            QVERIFY(!model_->StartRoom());
        else
            QCOMPARE(model_->StartRoom(), model_->GetRoomRecord(startRecord + 1).treeItem);
        // The list of top-level rooms shows the attribute as written.
        std::vector<std::string> names, tables, rootIds;
        model_->ListRootRooms(names, tables, &rootIds);
        QCOMPARE(names, std::vector<std::string> {"top"});
        QCOMPARE(tables, std::vector<std::string> {"T"});
        QCOMPARE(rootIds, std::vector<std::string> {"0"});
        std::vector<std::string> paths, subIds;
        model_->ListSubRooms(0, paths, subIds);
        QCOMPARE(QString::fromStdString(subIds.front()), roomids.split(QLatin1Char(',')).front());
    }

    void listsRootAndSubRooms()
    {
        QVERIFY(load(ForumConfig));
        std::vector<std::string> names, tables, ids;
        model_->ListRootRooms(names, tables, &ids);
        // The room without TABLE is left out, as from the tree.
        QCOMPARE(names, (std::vector<std::string> {gbk("甲区"), gbk("戊<区>")}));
        QCOMPARE(tables, (std::vector<std::string> {"TA", "TB"}));
        QCOMPARE(ids, (std::vector<std::string> {"1", "2"}));
        std::vector<std::string> noIds;
        names.clear();
        tables.clear();
        model_->ListRootRooms(names, tables, nullptr);
        QCOMPARE(names.size(), std::size_t(2));

        std::vector<std::string> paths, roomids;
        model_->ListSubRooms(0, paths, roomids);
        QCOMPARE(paths, (std::vector<std::string> {gbk("乙"), gbk("乙 -> 丙"), gbk("丁")}));
        QCOMPARE(roomids, (std::vector<std::string> {"12", "123", "13*"}));
        paths.clear();
        roomids.clear();
        model_->ListSubRooms(1, paths, roomids); // the empty element is listed here
        QCOMPARE(paths,
                 (std::vector<std::string> {"", "", gbk("己")})); // no " -> " after an empty path
        QCOMPARE(roomids, (std::vector<std::string> {"21", "22", "221"}));
        paths.clear();
        model_->ListSubRooms(2, paths, roomids); // no sub-rooms
        model_->ListSubRooms(9, paths, roomids); // no such room
        model_->ListSubRooms(-1, paths, roomids);
        QVERIFY(paths.empty());
    }

    void tablelessRoomInTheMiddleShiftsNothing()
    {
        QVERIFY(load(R"(<r>
  <帖子类型 TABLE="TA" ROOMID="1">甲<帖子类型 ROOMID="11">甲一</帖子类型>
    <帖子属性范围>1 100 a/|ID|</帖子属性范围></帖子类型>
  <帖子类型 ROOMID="2">无表<帖子类型 ROOMID="21">无表一</帖子类型>
    <帖子属性范围>1 100 nothing/|ID|</帖子属性范围></帖子类型>
  <帖子类型 TABLE="TC" ROOMID="3">丙<帖子类型 ROOMID="31">丙一</帖子类型>
    <帖子属性范围>1 100 c/|ID|</帖子属性范围></帖子类型>
</r>)"));
        std::vector<std::string> names, tables, ids;
        model_->ListRootRooms(names, tables, &ids);
        QCOMPARE(names, (std::vector<std::string> {gbk("甲"), gbk("丙")}));
        QCOMPARE(tables, (std::vector<std::string> {"TA", "TC"}));
        QCOMPARE(ids, (std::vector<std::string> {"1", "3"}));

        // The sub-room of the room after the table-less one reads that room's table,
        // sub-rooms and post location entries.
        QCOMPARE(model_->TopLevelItems().size(), std::size_t(2));
        const RoomRecord sub = model_->GetRoomRecordOfItem(model_->TopLevelItems()[1]->children[0]);
        QCOMPARE(sub.roomid, std::string("31"));
        QCOMPARE(model_->GetRootTable(sub.rootIndex), std::string("TC"));
        std::vector<std::string> paths, roomids;
        model_->ListSubRooms(sub.rootIndex, paths, roomids);
        QCOMPARE(roomids, (std::vector<std::string> {"31"}));
        QCOMPARE(model_->LocatePostFile(PostRowInfo {"t", "5", gbk("丙一"), 31}, sub.rootIndex),
                 std::string("c/5"));
        QCOMPARE(model_->GetExpectedPostPath(5, sub.rootIndex, "31", "t"), std::string("c/5"));
    }

    void buildsRoomPaths()
    {
        QVERIFY(load(ForumConfig));
        std::string names = "untouched", ids = "untouched";
        QCOMPARE(model_->BuildRoomPaths("123", names, ids), 0);
        QCOMPARE(names, gbk("甲区\\乙\\丙"));
        QCOMPARE(ids, std::string("1\\12\\123"));
        QCOMPARE(model_->BuildRoomPaths("1", names, ids), 0);
        QCOMPARE(ids, std::string("1"));
        names = ids = "untouched";
        QCOMPARE(model_->BuildRoomPaths("999", names, ids), 1);
        QCOMPARE(names, std::string("untouched"));
        QCOMPARE(model_->FindRoomName("999"), std::string());
        QCOMPARE(model_->FindRoomName("13"), gbk("丁"));
        QCOMPARE(model_->FindRoomName("13*"), std::string());
    }

    void findsChildItems()
    {
        QVERIFY(load(ForumConfig));
        const TreeItem a = model_->FindChildItem(nullptr, gbk("甲区"));
        QVERIFY(a);
        QCOMPARE(model_->FindChildItem(a, gbk("丁")), a->children[1]);
        QVERIFY(!model_->FindChildItem(a, gbk("丙"))); // grandchildren are not searched
        QCOMPARE(model_->GetRoomRecordOfItem(a->children[1]).roomid, std::string("13"));
        QCOMPARE(model_->GetRoomRecordOfItem(nullptr).roomid, std::string());
    }

    void locatesPostFilesByFirstHoldingRange()
    {
        QVERIFY(load(ForumConfig));
        QCOMPARE(model_->LoadPostRanges(0), 3); // the two-field entry is skipped
        const auto ranges = model_->PostRanges();
        QCOMPARE(ranges[2].low, 3000000000u);
        QCOMPARE(ranges[2].high, 4294967295u); // -1 wraps to the largest value

        const PostRowInfo row {gbk("标题"), "60000", gbk("丙"), 123};
        QCOMPARE(model_->LocatePostFile(row, 0), dir_->path() + "\\a\\1\\12\\123\\60000.htm");
        PostRowInfo second = row;
        second.topicidText = "150000";
        QCOMPARE(model_->LocatePostFile(second, 0), gbk("b/甲区\\乙\\丙/丙/标题/1500.xml"));
        PostRowInfo none = row;
        none.topicidText = "300000";
        QCOMPARE(model_->LocatePostFile(none, 0), std::string());
        QCOMPARE(model_->GetExpectedPostPath(300000, 0, "123", gbk("标题")), gbk("丙"));
        QCOMPARE(model_->GetExpectedPostPath(60000, 0, "123", "t"),
                 dir_->path() + "\\a\\1\\12\\123\\60000.htm");
        PostRowInfo huge = row;
        huge.topicidText = "3000000001";
        QCOMPARE(model_->LocatePostFile(huge, 0), std::string("big/3000000001"));
    }

    void readsTopicIdsWithBasePrefixes()
    {
        QCOMPARE(RoomModel::ParseTopicId("1234"), 1234u);
        QCOMPARE(RoomModel::ParseTopicId("0x10"), 16u);
        QCOMPARE(RoomModel::ParseTopicId("010"), 8u);
        QCOMPARE(RoomModel::ParseTopicId(" 7x"), 7u);
        QCOMPARE(RoomModel::ParseTopicId(""), 0u);
        QCOMPARE(RoomModel::ParseTopicId("abc"), 0u);
        QCOMPARE(RoomModel::ParseTopicId("99999999999"), 4294967295u);
        QCOMPARE(RoomModel::ParseTopicId("-1"), 4294967295u);
    }

    void keepsLongTextsAndManyRanges()
    {
        QString body = QStringLiteral("<r><帖子类型 TABLE=\"T\" ROOMID=\"12345678901234567890\">")
                + QString(30, QChar(0x4E2D)) + QStringLiteral("</帖子类型><帖子类型 TABLE=\"U\">u");
        for (int i = 0; i < 25; ++i)
            body += QStringLiteral("<帖子属性范围>%1 %1 r%1</帖子属性范围>").arg(i * 10);
        body += QStringLiteral("</帖子类型></r>");
        QVERIFY(load(body.toUtf8().constData()));
        QCOMPARE(model_->GetRoomRecord(0).roomid, std::string("12345678901234567890"));
        QCOMPARE(model_->GetRoomRecord(0).roomname.size(), std::size_t(60));
        QCOMPARE(model_->LoadPostRanges(1), 25);
        QCOMPARE(model_->GetExpectedPostPath(240, 1, "x", "t"), std::string("r240"));
    }

    void unknownRootIndexGivesEmptyResults()
    {
        QVERIFY(load(ForumConfig));
        QCOMPARE(model_->GetRootTable(7), std::string());
        QCOMPARE(model_->GetRootTable(-1), std::string());
        QCOMPARE(model_->GetRoomRecord(-1).treeItem, nullptr);
        QCOMPARE(model_->GetRoomRecord(100).treeItem, nullptr);
        QCOMPARE(model_->LoadPostRanges(50), 0);
        QCOMPARE(model_->LocatePostFile(PostRowInfo {"t", "1", "r", 1}, 50), std::string());
        QCOMPARE(model_->GetExpectedPostPath(1, 50, "12", "t"), gbk("乙"));
        // Readers use the low 16 bits only: 65536 is room 0.
        QCOMPARE(model_->GetRootTable(65536), std::string("TA"));
    }

    void emptyAndBrokenConfigurations()
    {
        QVERIFY(load("<r/>"));
        QVERIFY(model_->TopLevelItems().empty());
        QCOMPARE(model_->TableCount(), std::size_t(0));

        RoomModel broken;
        dir_->write("Configs/Broken.xml", xmlFile("<r><帖子类型 TABLE=\"T\">x</r>"));
        std::string reason;
        QVERIFY(!broken.LoadTreeConfig(dir_->file("Configs/Broken.xml"), &reason));
        QVERIFY(!reason.empty());
        QCOMPARE(broken.RecordCount(), std::size_t(0));
        QVERIFY(!broken.LoadTreeConfig(dir_->file("Configs/Missing.xml"), &reason));
        dir_->write("Configs/Empty.xml", "");
        QVERIFY(!broken.LoadTreeConfig(dir_->file("Configs/Empty.xml"), &reason));

        std::string deep = "<r><帖子类型 TABLE=\"T\">";
        for (int i = 0; i < 300; ++i)
            deep += "<帖子类型>x";
        for (int i = 0; i < 300; ++i)
            deep += "</帖子类型>";
        deep += "</帖子类型></r>";
        dir_->write("Configs/Deep.xml", xmlFile(deep.c_str()));
        QVERIFY(!broken.LoadTreeConfig(dir_->file("Configs/Deep.xml"), &reason));
    }

    void tableMustBeAName_data()
    {
        QTest::addColumn<QByteArray>("table");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("plain") << QByteArray("Posts_2") << true;
        QTest::newRow("underscore first") << QByteArray("_p") << true;
        QTest::newRow("in a schema") << QByteArray("archive.Posts") << true;
        QTest::newRow("63 bytes") << QByteArray(63, 'p') << true;
        QTest::newRow("64 bytes") << QByteArray(64, 'p') << false;
        QTest::newRow("a megabyte") << QByteArray(1 << 20, 'p') << false;
        QTest::newRow("digit first") << QByteArray("1p") << false;
        QTest::newRow("blank") << QByteArray("p q") << false;
        QTest::newRow("statement") << QByteArray("p; drop table q") << false;
        QTest::newRow("two dots") << QByteArray("a.b.c") << false;
        QTest::newRow("empty schema") << QByteArray(".p") << false;
        QTest::newRow("empty name") << QByteArray("p.") << false;
        QTest::newRow("quoted") << QByteArray("&quot;p&quot;") << false;
        QTest::newRow("GBK") << QByteArray::fromStdString(gbk("帖子表")) << false;
    }

    void tableMustBeAName()
    {
        // The table reaches statement texts (it cannot be bound): the load refuses what is
        // no identifier, and names the room.
        QFETCH(QByteArray, table);
        QFETCH(bool, accepted);
        dir_->write("Configs/InitTree.xml",
                    xmlFile("<r><帖子类型 TABLE=\"TA\" ROOMID=\"1\">好</帖子类型>")
                            + gbk("<帖子类型 TABLE=\"") + table.toStdString()
                            + gbk("\" ROOMID=\"2\">这一个</帖子类型></r>"));
        std::string reason;
        QCOMPARE(model_->LoadTreeConfig(RoomModel::TreeConfigPath(std::nullopt), &reason),
                 accepted);
        if (accepted) {
            QCOMPARE(model_->GetRootTable(1), table.toStdString());
            return;
        }
        QVERIFY2(show(reason).contains(QString::fromUtf8("这一个")), qPrintable(show(reason)));
        QVERIFY(reason.size() < 6000);
        QCOMPARE(model_->RecordCount(), std::size_t(0));
        QCOMPARE(model_->TableCount(), std::size_t(0));
    }

    void doubtfulRoomIdsAndEntriesAreNamed()
    {
        // The file loads whole; what cannot work is named, one line each, in file order.
        QVERIFY(load(R"(<r><帖子类型 TABLE="TA" ROOMID="1*">甲<帖子类型 ROOMID="*12">乙</帖子类型>
            <帖子类型 ROOMID="">丙</帖子类型><帖子类型 ROOMID="4294967295">丁</帖子类型>
            <帖子类型 ROOMID="007">戊</帖子类型><帖子类型 ROOMID="-3">己</帖子类型>
            <帖子类型 ROOMID="x"/>
            <帖子属性范围>1 100 a/|ID|.htm</帖子属性范围>
            <帖子属性范围>101 x b/|ID|.htm</帖子属性范围>
            <帖子属性范围>-1 200 My Posts/|ID|.htm</帖子属性范围>
          </帖子类型></r>)"));
        QCOMPARE(model_->RecordCount(), std::size_t(6));
        std::vector<QString> warnings;
        for (const std::string &warning : model_->LoadWarnings())
            warnings.push_back(show(warning));
        const auto roomId = [](const char *room, const char *id) {
            return QString::fromUtf8("类型“%1”的ROOMID“%2”不是0到4294967295之间的整数,"
                                     "打开该类型会失败或找不到帖子。")
                    .arg(QString::fromUtf8(room), QString::fromUtf8(id));
        };
        QCOMPARE(warnings,
                 (std::vector<QString> {
                         QString::fromUtf8("类型“甲”的帖子属性范围“101 x b/|ID|.htm”不是"
                                           "“起始ID 结束ID 路径模板”的格式,已被忽略。"),
                         QString::fromUtf8("类型“甲”的帖子属性范围“-1 200 My Posts/|ID|.htm”"
                                           "多于三项(路径模板中不能有空白),只用了前三项。"),
                         roomId("乙", "*12"), roomId("丙", ""), roomId("戊", "007"),
                         roomId("己", "-3")}));
        // The cut entry is still used, as before; the malformed one is not.
        QCOMPARE(model_->LoadPostRanges(0), 2);
        QCOMPARE(model_->PostRanges()[1].pathTemplate, std::string("My"));

        // A value of 100 KB is named, not quoted whole.
        QVERIFY(load(("<r><帖子类型 TABLE=\"T\" ROOMID=\"" + std::string(100000, '7')
                      + "\">长</帖子类型></r>")
                             .c_str()));
        QCOMPARE(model_->LoadWarnings().size(), std::size_t(1));
        QVERIFY(model_->LoadWarnings()[0].size() < 1000);
        QVERIFY(load(ForumConfig));
        QCOMPARE(model_->LoadWarnings().size(), std::size_t(1)); // "only two"
    }

    void configPathFollowsArgument()
    {
        QCOMPARE(RoomModel::TreeConfigPath(std::nullopt), dir_->path() + "/Configs/InitTree.xml");
        QCOMPARE(RoomModel::TreeConfigPath(std::string("Configs\\Other.xml")),
                 dir_->path() + "/Configs/Other.xml");
        // An absolute argument is still appended to the program directory.
        QCOMPARE(RoomModel::TreeConfigPath(std::string("/etc/x.xml")),
                 dir_->path() + "//etc/x.xml");
    }

    void pathComputationsOfTwoThreadsNeverMix()
    {
        QVERIFY(load(ForumConfig));
        const std::string inA = dir_->path() + "\\a\\1\\12\\123\\60000.htm";
        std::atomic<int> wrong {0};
        auto computeA = [&] {
            for (int i = 0; i < 3000; ++i) {
                if (model_->LocatePostFile(PostRowInfo {"t", "60000", "r", 123}, 0) != inA)
                    ++wrong;
            }
        };
        auto computeB = [&] {
            for (int i = 0; i < 3000; ++i) {
                if (model_->GetExpectedPostPath(60000, 1, "221", "t") != "other/60000")
                    ++wrong;
            }
        };
        std::thread a(computeA), b(computeB);
        a.join();
        b.join();
        QCOMPARE(wrong.load(), 0);
    }

private:
    bool load(const char *utf8Body)
    {
        dir_->write("Configs/InitTree.xml", xmlFile(utf8Body));
        model_ = std::make_unique<RoomModel>();
        return model_->LoadTreeConfig(RoomModel::TreeConfigPath(std::nullopt));
    }

    std::unique_ptr<TempAppDir> dir_;
    std::unique_ptr<RoomModel> model_;
};

QUILLERY_REGISTER_TEST(TestRoomModel)
#include "tst_RoomModel.moc"
