#include "LineRulesReference.h"
#include "TestRegistry.h"
#include "TestSupport.h"

#include "common/FileSystem.h"
#include "common/MessageExport.h"
#include "common/RoomConversion.h"

#include <QFile>

#include <algorithm>
#include <chrono>

namespace {
// Expands |UP| to "UP" so that the tests see the name part go through the expansion.
int upResolver(void *, std::int32_t kind, const std::string &placeholder, std::string &value)
{
    if (kind != commonKind)
        return 5;
    if (placeholder == "|UP|") {
        value = "UP";
        return PlaceholderResolved;
    }
    return PlaceholderUnknown;
}

struct Table
{
    std::vector<std::string> ids, names;
};

Table load()
{
    Table t;
    LoadRoomConversion(t.ids, t.names, upResolver);
    return t;
}
} // namespace

class TestRoomConversion : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { dir_ = std::make_unique<TempAppDir>(); }
    void cleanup() { dir_.reset(); }

    void splitsLinesAtFirstBracket()
    {
        dir_->write(
                "RoomID-Name.txt",
                "45<abc<def\r\n<abc\r\n45<\r\n?45<abc\r\n ?45<abc\r\n\r\nnobracket\r\n7<x|UP|y\r\n"
                        + gbk("12<中文房间") + "\r\n");
        const Table t = load();
        QCOMPARE(t.ids,
                 (std::vector<std::string> {"45", "", "45", " ?45", "nobracket", "7", "12"}));
        QCOMPARE(t.names,
                 (std::vector<std::string> {"abc<def", "abc", "", "abc", "", "xUPy",
                                            gbk("中文房间")}));
    }

    void lastLineWithoutLineEndIsLoaded()
    {
        dir_->write("RoomID-Name.txt", "1<a\n2<b");
        const Table t = load();
        QCOMPARE(t.ids, (std::vector<std::string> {"1", "2"}));
        QCOMPARE(t.names, (std::vector<std::string> {"a", "b"}));
    }

    void lookupTakesFirstEntry()
    {
        dir_->write("RoomID-Name.txt", "1<same\r\n2<same\r\n3<Other\r\n");
        const Table t = load();
        QCOMPARE(*FindRoomIdByName(t.ids, t.names, "same"), std::string("1"));
        QVERIFY(!FindRoomIdByName(t.ids, t.names, "other")); // case matters
        QCOMPARE(*FindRoomIdByName(t.ids, t.names, "Other"), std::string("3"));
    }

    void tableLooksUpAsTheListsDo()
    {
        dir_->write("RoomID-Name.txt", "1<same\r\n2<same\r\n3<Other\r\n");
        RoomConversionTable table;
        QVERIFY(table.Load(upResolver).empty());
        QCOMPARE(*table.FindRoomId("same"), std::string("1"));
        QVERIFY(!table.FindRoomId("other"));
        table.Append("100", "other");
        table.Append("101", "same");
        QCOMPARE(*table.FindRoomId("other"), std::string("100"));
        QCOMPARE(*table.FindRoomId("same"), std::string("1"));
        QCOMPARE(table.roomNames().size(), std::size_t(5));
        table.Clear();
        QVERIFY(!table.FindRoomId("same"));
    }

    // A conversion file of a million rooms must not make every look-up a million
    // comparisons: the time of a look-up stays that of a small table.
    void lookUpTimeDoesNotGrowWithTheTable()
    {
        const auto fastest = [](const RoomConversionTable &table, const std::string &name) {
            double best = 1e9;
            for (int round = 0; round < 5; ++round) {
                const auto start = std::chrono::steady_clock::now();
                std::size_t found = 0;
                for (int i = 0; i < 20000; ++i)
                    found += table.FindRoomId(name) != nullptr;
                const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
                if (found == 20000)
                    best = std::min(best, took.count());
            }
            return best;
        };
        RoomConversionTable small, large;
        for (int i = 0; i < 1000; ++i)
            small.Append(std::to_string(i), "room " + std::to_string(i));
        for (int i = 0; i < 400000; ++i)
            large.Append(std::to_string(i), "room " + std::to_string(i));
        const double ratio = fastest(large, "room 399999") / fastest(small, "room 999");
        QVERIFY2(ratio < 20, qPrintable(QString::number(ratio)));
    }

    void conversionFileThatIsNoFileIsNotRead()
    {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"),
                            dir_->qtPath() + QStringLiteral("/RoomID-Name.txt")));
        RoomConversionTable table;
        const std::string problem = table.Load(upResolver);
        QVERIFY2(problem.find(gbk("不是普通文件")) != std::string::npos, qPrintable(show(problem)));
        QVERIFY(table.roomIds().empty());
    }

    void fileIsOnlyRead()
    {
        // A missing file stays missing: nothing is made beside the program.
        const std::string path = dir_->file("RoomID-Name.txt");
        QVERIFY(!FileSystem::exists(path));
        QVERIFY(load().ids.empty());
        QVERIFY(!FileSystem::exists(path));

        // A file the user may only read loads, and stays read-only.
        dir_->write("RoomID-Name.txt", "1<a\r\n2<b\r\n");
        QVERIFY(!FileSystem::setReadOnly(path));
        const Table t = load();
        QCOMPARE(t.ids, (std::vector<std::string> {"1", "2"}));
        QCOMPARE(t.names, (std::vector<std::string> {"a", "b"}));
        QVERIFY(FileSystem::isReadOnly(path));
        QCOMPARE(dir_->read("RoomID-Name.txt"), std::string("1<a\r\n2<b\r\n"));
        FileSystem::clearReadOnly(path);
    }

    void tooLongLineEndsLoading()
    {
        dir_->write("RoomID-Name.txt", "1<a\r\n2<" + std::string(5000, 'n') + "\r\n3<c\r\n");
        const Table t = load();
        QCOMPARE(t.ids.size(), std::size_t(2));
        QCOMPARE(t.names[1].size(), std::size_t(4095 - 2));
    }

    void binaryContentLoadsWithoutHarm()
    {
        std::string junk;
        for (int i = 0; i < 20000; ++i)
            junk += char((i * 7919) & 0xFF);
        dir_->write("RoomID-Name.txt", junk);
        const Table t = load();
        QCOMPARE(t.ids.size(), t.names.size());
        // Line for line what the format says, whatever the bytes: each line that is not
        // empty and does not start with "?" gives its text before the first "<" and, through
        // the expansion, the text after it.
        std::vector<std::string> ids, names;
        for (const ReferenceLine &line : referenceLines(junk, 4096)) {
            if (line.length > 0 && line.text.front() != '?') {
                const std::size_t bracket = line.text.find('<');
                ids.push_back(line.text.substr(0, bracket));
                std::string name;
                if (bracket != std::string::npos)
                    ExpandTemplate(line.text.substr(bracket + 1), name, nullptr, commonKind,
                                   upResolver);
                names.push_back(name);
            }
            if (line.status != 0)
                break;
        }
        QVERIFY(ids.size() > 50);
        QCOMPARE(t.ids, ids);
        QCOMPARE(t.names, names);
    }

    void exportsMessageLines()
    {
        std::string why;
        const std::string path = dir_->file("ExportMsg.txt");
        QCOMPARE(WriteMessageLines(path, {"a", "", "b\nc", gbk("中文")}, why), 0L);
        QCOMPARE(dir_->read("ExportMsg.txt"), "a\r\nb\r\nc\r\n" + gbk("中文") + "\r\n");
        QCOMPARE(WriteMessageLines(path, {}, why), 0L);
        QVERIFY(FileSystem::exists(path));
        QCOMPARE(dir_->read("ExportMsg.txt"), std::string());
    }

    void exportFailureGivesReason()
    {
        std::string why;
        QCOMPARE(WriteMessageLines(dir_->file("no/such/dir/x.txt"), {"a"}, why), 2401L);
        QVERIFY(!why.empty());
    }

private:
    std::unique_ptr<TempAppDir> dir_;
};

QUILLERY_REGISTER_TEST(TestRoomConversion)
#include "tst_RoomConversion.moc"
