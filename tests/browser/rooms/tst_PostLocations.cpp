#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/rooms/PostLocations.h"
#include "browser/rooms/RoomModel.h"

#include <random>

namespace {

// Overlapping entries, one malformed, one reaching the largest topicid, a second
// top-level room whose single entry covers everything.
const char *const Config = R"(<配置>
  <帖子类型 TABLE="TA" ROOMID="1">甲区<帖子类型 ROOMID="12">乙<帖子类型 ROOMID="123">丙</帖子类型></帖子类型>
    <帖子属性范围>1 100000 |APP_PATH|\a\|ROOMID_PATH|\|ID|.htm</帖子属性范围>
    <帖子属性范围>50000 200000 b/|ROOMNAME_PATH|/|ROOMNAME|/|TITLE|/|ID4|.xml</帖子属性范围>
    <帖子属性范围>only two</帖子属性范围>
    <帖子属性范围>90 80 reversed/|ID|</帖子属性范围>
    <帖子属性范围>150000 150000 single/|ID|</帖子属性范围>
    <帖子属性范围>3000000000 -1 big/|ID|</帖子属性范围>
  </帖子类型>
  <帖子类型 TABLE="TB" ROOMID="2">戊<帖子类型 ROOMID="21">己</帖子类型>
    <帖子属性范围>0 4294967295 other/|ROOMID|/|ID|</帖子属性范围>
  </帖子类型>
</配置>
)";

// Every bound of the entries, one either side of it, and the ends of the number range.
std::vector<std::uint32_t> probesAround(const std::vector<PostRange> &ranges)
{
    std::vector<std::uint32_t> probes {0, 1, 4294967294u, 4294967295u};
    for (const PostRange &range : ranges) {
        for (const std::uint32_t bound : {range.low, range.high}) {
            probes.push_back(bound);
            probes.push_back(bound - 1); // wraps at 0: probes 4294967295 again
            probes.push_back(bound + 1);
        }
    }
    return probes;
}

const PostRange *firstHolding(const std::vector<PostRange> &ranges, std::uint32_t topicid)
{
    for (const PostRange &range : ranges) {
        if (range.low <= topicid && topicid <= range.high)
            return &range;
    }
    return nullptr;
}

} // namespace

class TestPostLocations : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void givesTheModelsPathForEveryTopicidAndRoom()
    {
        TempAppDir dir;
        RoomModel model;
        QVERIFY(load(dir, model, Config));
        for (const std::int32_t root : {0, 1, 7}) {
            const PostLocations locations(model, root);
            const std::vector<std::uint32_t> probes = probesAround(model.ParsePostRanges(root));
            for (const std::uint32_t topicid : probes) {
                for (const char *roomid : {"123", "1", "21", "999", ""}) {
                    const std::string title = gbk("标题");
                    QCOMPARE(locations.ExpectedPostPath(topicid, roomid, title),
                             model.GetExpectedPostPath(topicid, root, roomid, title));
                }
            }
        }
        const PostLocations first(model, 0);
        QCOMPARE(first.RangeCount(), std::size_t(5)); // the two-field entry is left out
        // The first entry in table order wins where entries overlap.
        QCOMPARE(first.ExpectedPostPath(60000, "123", "t"),
                 dir.path() + "\\a\\1\\12\\123\\60000.htm");
        QCOMPARE(first.ExpectedPostPath(150000, "123", "t"), gbk("b/甲区\\乙\\丙/丙/t/1500.xml"));
        QCOMPARE(first.ExpectedPostPath(4294967295u, "12", "t"), std::string("big/4294967295"));
        QCOMPARE(first.ExpectedPostPath(85, "12", "t"),
                 dir.path() + "\\a\\1\\12\\85.htm"); // the reversed entry never holds
        QCOMPARE(first.ExpectedPostPath(300000, "123", "t"), gbk("丙"));
        QCOMPARE(first.ExpectedPostPath(0, "nobody", "t"), std::string());
        QVERIFY(!PostLocations(model, 7).Find(5));
    }

    void findsTheFirstHoldingEntryAmongManyOverlapping()
    {
        // Random entries, many overlapping, some reversed, some at the ends of the range.
        std::mt19937 random(20261209);
        for (int round = 0; round < 20; ++round) {
            QString body = QStringLiteral("<r><帖子类型 TABLE=\"T\" ROOMID=\"1\">甲");
            const int count = 1 + int(random() % 60);
            for (int i = 0; i < count; ++i) {
                std::uint32_t low = random() % 5000, high = low + random() % 800;
                if (random() % 10 == 0)
                    std::swap(low, high);
                if (random() % 15 == 0)
                    high = 4294967295u;
                body += QStringLiteral("<帖子属性范围>%1 %2 e%3/|ID|</帖子属性范围>")
                                .arg(low)
                                .arg(high)
                                .arg(i);
            }
            body += QStringLiteral("</帖子类型></r>");
            TempAppDir dir;
            RoomModel model;
            QVERIFY(load(dir, model, body.toUtf8().constData()));
            const std::vector<PostRange> ranges = model.ParsePostRanges(0);
            QCOMPARE(int(ranges.size()), count);
            const PostLocations locations(model, 0);
            std::vector<std::uint32_t> probes = probesAround(ranges);
            for (int i = 0; i < 2000; ++i)
                probes.push_back(random() % 6000);
            for (const std::uint32_t topicid : probes) {
                const PostRange *expected = firstHolding(ranges, topicid);
                const PostRange *found = locations.Find(topicid);
                QCOMPARE(found ? found->pathTemplate : std::string("none"),
                         expected ? expected->pathTemplate : std::string("none"));
            }
        }
    }

private:
    static bool load(TempAppDir &dir, RoomModel &model, const char *utf8Body)
    {
        dir.write("Configs/InitTree.xml",
                  gbk("<?xml version=\"1.0\" encoding=\"GBK\"?>\n") + gbk(utf8Body));
        return model.LoadTreeConfig(RoomModel::TreeConfigPath(std::nullopt));
    }
};

QUILLERY_REGISTER_TEST(TestPostLocations)
#include "tst_PostLocations.moc"
