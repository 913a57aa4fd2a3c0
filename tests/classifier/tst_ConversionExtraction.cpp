#include "ClassifierFixture.h"
#include "TestRegistry.h"

#include <QDir>

class TestConversionExtraction : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void oneLinePerRoomSameBytesEveryRun()
    {
        ClassifierFixture f;
        f.post("a1.htm", "Web Design", "45");
        f.post("a2.htm", "web design", "46"); // the first file of a room decides
        f.post("b/n.htm", "Networks", "66");
        f.post("c.htm", "WEB DESIGN", "45");
        const std::string expected = "45<web design\r\n66<networks\r\n";
        QVERIFY(f.classifier.ExtractConversionFile(f.settings, f.observer));
        QCOMPARE(f.dir.read("out/RoomID-Name.txt"), expected);
        QVERIFY(f.observer.messages.empty());

        QVERIFY(f.classifier.ExtractConversionFile(f.settings, f.observer));
        QCOMPARE(f.dir.read("out/RoomID-Name.txt"), expected);
        const std::string path = f.dir.path() + "/out/RoomID-Name.txt";
        QCOMPARE(f.observer.messages,
                 (std::vector<std::string> {gbk("发现原来的输出文:"), path + gbk(" 已删除")}));
        QVERIFY(!f.exists("out/RoomID-Name.txt.new"));
    }

    void upperCaseMarkersMatchAnyCase()
    {
        ClassifierFixture f;
        f.dir.write("in/x.xml", "<roomid>7</ROOMID><RoomName>Q</roomname>");
        f.settings.pattern = "*.XML";
        f.settings.roomNameStart = "<ROOMNAME>";
        f.settings.roomIdEnd = "</ROOMID>";
        QVERIFY(f.classifier.ExtractConversionFile(f.settings, f.observer));
        QCOMPARE(f.dir.read("out/RoomID-Name.txt"), std::string("7<q\r\n"));
    }

    void onlyWholeLinesAreWritten()
    {
        ClassifierFixture f;
        f.dir.write("in/1.htm", "<roomid>5</roomid>"); // no name
        f.dir.write("in/2.htm", "<roomname>lobby</roomname>"); // no id
        f.post("3.htm", "two\nlines", "8");
        f.post("4.htm", "x", "1<2");
        f.post("5.htm", "lobby", "9"); // the room is not taken by 2.htm
        QVERIFY(f.classifier.ExtractConversionFile(f.settings, f.observer));
        QCOMPARE(f.dir.read("out/RoomID-Name.txt"), std::string("9<lobby\r\n"));
    }

    void oldFileStaysWhenTheNewOneCannotReplaceIt()
    {
        ClassifierFixture f;
        f.post("1.htm", "r", "1");
        // A folder in the way of the file name: the rename over it fails.
        f.dir.write("out/RoomID-Name.txt/keep", "old");
        QVERIFY(!f.classifier.ExtractConversionFile(f.settings, f.observer));
        QCOMPARE(f.dir.read("out/RoomID-Name.txt/keep"), std::string("old"));
        QVERIFY(!f.exists("out/RoomID-Name.txt.new"));
        QCOMPARE(f.observer.messages.size(), std::size_t(1));
        QVERIFY(f.observer.messages[0].find(gbk("无法写入转换文件")) == 0);
    }

    void stoppedRunKeepsTheOldFile()
    {
        ClassifierFixture f;
        f.post("1.htm", "a", "1");
        f.post("2.htm", "b", "2");
        f.dir.write("out/RoomID-Name.txt", "old\r\n");
        f.observer.stopAfter = 1;
        QVERIFY(!f.classifier.ExtractConversionFile(f.settings, f.observer));
        QCOMPARE(f.dir.read("out/RoomID-Name.txt"), std::string("old\r\n"));
    }
};

QUILLERY_REGISTER_TEST(TestConversionExtraction)
#include "tst_ConversionExtraction.moc"
