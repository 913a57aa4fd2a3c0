#include "LineRulesReference.h"
#include "TestRegistry.h"
#include "TestSupport.h"

#include "common/CTextLineFile.h"
#include "common/FileSystem.h"

#include <QRandomGenerator>

namespace {

using Line = ReferenceLine;

std::vector<Line> readAll(const std::string &path, std::int32_t capacity,
                          std::size_t maxCalls = 10000)
{
    CTextLineFile file;
    std::vector<Line> lines;
    if (file.Open(path, 0, CTextLineFile::OpenMode::ReadWriteKeep) != 0)
        return lines;
    for (std::size_t call = 0; call < maxCalls; ++call) {
        std::string text;
        std::int32_t length = 0;
        const std::int32_t status = file.ReadLine(text, capacity, length);
        lines.push_back({text, length, status});
        if (status == CTextLineFile::LastLine)
            break;
    }
    return lines;
}

} // namespace

class TestTextLineFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { dir_ = std::make_unique<TempAppDir>(); }
    void cleanup() { dir_.reset(); }

    void readsLineEnds_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QList<QByteArray>>("lines");
        QTest::addColumn<QList<int>>("statuses");
        QTest::newRow("crlf") << QByteArray("ab\r\ncd\r\n") << QList<QByteArray> {"ab", "cd"}
                              << QList<int> {0, 1};
        QTest::newRow("lf only") << QByteArray("ab\ncd\n") << QList<QByteArray> {"ab", "cd"}
                                 << QList<int> {0, 1};
        QTest::newRow("no final line end")
                << QByteArray("ab\r\ncd") << QList<QByteArray> {"ab", "cd"} << QList<int> {0, 1};
        QTest::newRow("empty lines")
                << QByteArray("\r\n\nx") << QList<QByteArray> {"", "", "x"} << QList<int> {0, 0, 1};
        QTest::newRow("bare cr stays")
                << QByteArray("a\rb\n") << QList<QByteArray> {"a\rb"} << QList<int> {1};
    }

    void readsLineEnds()
    {
        QFETCH(QByteArray, content);
        QFETCH(QList<QByteArray>, lines);
        QFETCH(QList<int>, statuses);
        dir_->write("f.txt", content.toStdString());
        const auto read = readAll(dir_->file("f.txt"), 4096);
        QCOMPARE(read.size(), std::size_t(lines.size()));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            QCOMPARE(QByteArray::fromStdString(read[std::size_t(i)].text), lines[i]);
            QCOMPARE(read[std::size_t(i)].length, std::int32_t(lines[i].size()));
            QCOMPARE(read[std::size_t(i)].status, statuses[i]);
        }
    }

    void emptyFileGivesMinusOne()
    {
        dir_->write("empty.txt", "");
        const auto read = readAll(dir_->file("empty.txt"), 4096);
        QCOMPARE(read.size(), std::size_t(1));
        QCOMPARE(read[0].length, -1);
        QCOMPARE(read[0].status, 1);
    }

    void lineOfCapacityMinusOneFits()
    {
        const std::string line(4095, 'x');
        dir_->write("f.txt", line + "\r\nnext\r\n");
        const auto read = readAll(dir_->file("f.txt"), 4096);
        QCOMPARE(read.size(), std::size_t(2));
        QCOMPARE(read[0], (Line {line, 4095, 0}));
        QCOMPARE(read[1], (Line {"next", 4, 1}));
    }

    void lineOfCapacityIsTooLong()
    {
        std::string line(4095, 'x');
        line += 'Y';
        dir_->write("f.txt", line + "\r\n");
        const auto read = readAll(dir_->file("f.txt"), 4096);
        QCOMPARE(read.size(), std::size_t(2));
        QCOMPARE(read[0], (Line {std::string(4095, 'x'), 4095, 111}));
        QCOMPARE(read[1], (Line {"Y", 1, 1}));
    }

    void matchesLineRulesAtEveryChunkBoundary()
    {
        // Random texts of CR, LF and letters, read at small capacities around the
        // 50-byte read-ahead, must give exactly what the rules say.
        QRandomGenerator random(20261208);
        const char alphabet[] = {'a', 'b', '\r', '\n', '\r', '\n', 'c', 'd', 'e', 'f'};
        for (int round = 0; round < 400; ++round) {
            std::string data;
            const int size = int(random.bounded(0, 160));
            for (int i = 0; i < size; ++i)
                data += random.bounded(4) == 0 ? alphabet[random.bounded(10)] : 'x';
            const auto capacity = std::int32_t(random.bounded(2, 120));
            dir_->write("r.txt", data);
            const auto expected = referenceLines(data, capacity);
            const auto actual = readAll(dir_->file("r.txt"), capacity, expected.size() + 1);
            if (actual != expected) {
                QString detail;
                for (std::size_t i = 0; i < std::max(actual.size(), expected.size()); ++i) {
                    const auto describe = [](const std::vector<Line> &v, std::size_t k) {
                        return k < v.size() ? QStringLiteral("[%1 %2 %3]")
                                                      .arg(QString::fromLatin1(
                                                              QByteArray::fromStdString(v[k].text)
                                                                      .toPercentEncoding()))
                                                      .arg(v[k].length)
                                                      .arg(v[k].status)
                                            : QStringLiteral("-");
                    };
                    detail += describe(actual, i) + QStringLiteral(" vs ") + describe(expected, i)
                            + QLatin1Char('\n');
                }
                QFAIL(qPrintable(
                        QStringLiteral("capacity %1 data %2\n%3")
                                .arg(capacity)
                                .arg(QString::fromLatin1(
                                        QByteArray::fromStdString(data).toPercentEncoding()))
                                .arg(detail)));
            }
        }
    }

    void capacityOfOneStoresNothing()
    {
        dir_->write("f.txt", "ab");
        CTextLineFile file;
        QCOMPARE(file.Open(dir_->file("f.txt"), 0, CTextLineFile::OpenMode::ReadWriteKeep), 0);
        char buffer[1] = {'x'};
        std::int32_t length = 1;
        QCOMPARE(file.ReadLine(buffer, length), 111);
        QCOMPARE(length, 0);
        QCOMPARE(buffer[0], '\0');
        length = 0;
        QCOMPARE(file.ReadLine(buffer, length), 1); // no room at all
        QCOMPARE(length, -1);
    }

    void writesCrLfLineEnds()
    {
        CTextLineFile file;
        QCOMPARE(file.Open(dir_->file("w.txt"), 0, CTextLineFile::OpenMode::ReadWriteTruncate), 0);
        QCOMPARE(file.WriteText("one", 2), 0);
        QCOMPARE(file.WriteText("a\nb", 0), 0);
        QCOMPARE(file.WriteText("", 2), 0); // nothing, not even a line end
        QCOMPARE(file.WriteText("c\r\nd", 2), 0); // CR LF becomes CR CR LF
        QCOMPARE(file.WriteText(gbk("中文"), 2), 0);
        QCOMPARE(file.Close(), 0);
        QCOMPARE(dir_->read("w.txt"), "one\r\na\r\nbc\r\r\nd\r\n" + gbk("中文") + "\r\n");
    }

    void writeAppendsAfterExistingText()
    {
        dir_->write("w.txt", "old\r\n");
        CTextLineFile file;
        QCOMPARE(file.Open(dir_->file("w.txt"), 0, CTextLineFile::OpenMode::ReadWriteKeep), 0);
        std::string line;
        std::int32_t length = 0;
        file.ReadLine(line, 4096, length);
        QCOMPARE(file.WriteText("new", 2), 0);
        QCOMPARE(file.Close(), 0);
        QCOMPARE(dir_->read("w.txt"), std::string("old\r\nnew\r\n"));
    }

    void truncateModeEmptiesExistingFile()
    {
        dir_->write("w.txt", "old contents");
        CTextLineFile file;
        QCOMPARE(file.Open(dir_->file("w.txt"), 0, CTextLineFile::OpenMode::ReadWriteTruncate), 0);
        QCOMPARE(file.Close(), 0);
        QCOMPARE(dir_->read("w.txt"), std::string());
    }

    void reportsStateErrors()
    {
        CTextLineFile file;
        QCOMPARE(file.WriteText("x", 2), 31);
        QCOMPARE(file.Close(), 1);
        QCOMPARE(file.Open(dir_->file("a.txt"), 0, CTextLineFile::OpenMode::ReadWriteKeep), 0);
        QCOMPARE(file.Open(dir_->file("b.txt"), 0, CTextLineFile::OpenMode::ReadWriteKeep), 31);
        QCOMPARE(file.Close(), 0);
        QCOMPARE(file.Close(), 1);
        QCOMPARE(file.Open(dir_->file("missing/dir/a.txt"), 0,
                           CTextLineFile::OpenMode::ReadWriteKeep),
                 2401);
        QVERIFY(file.lastError());
        QCOMPARE(file.Open(dir_->path(), 0, CTextLineFile::OpenMode::ReadWriteKeep), 2401);
        QVERIFY(!file.isOpen());
    }

    void openClearsReadOnlyAttribute()
    {
        dir_->write("RoomID-Name.txt", "1<a\r\n");
        const std::string path = dir_->file("RoomID-Name.txt");
        QVERIFY(!FileSystem::setReadOnly(path));
        CTextLineFile file;
        QCOMPARE(file.Open(path, 0, CTextLineFile::OpenMode::ReadWriteKeep), 0);
        QVERIFY(!FileSystem::isReadOnly(path));
        QCOMPARE(file.WriteText("2<b", 2), 0);
        QCOMPARE(file.Close(), 0);
        QCOMPARE(dir_->read("RoomID-Name.txt"), std::string("1<a\r\n2<b\r\n"));
    }

    void readOnlyModeOnlyReads()
    {
        CTextLineFile missing;
        QCOMPARE(missing.Open(dir_->file("none.txt"), 0, CTextLineFile::OpenMode::ReadOnly), 2401);
        QVERIFY(!FileSystem::exists(dir_->file("none.txt")));

        dir_->write("r.txt", "1<a\r\n");
        const std::string path = dir_->file("r.txt");
        QVERIFY(!FileSystem::setReadOnly(path));
        CTextLineFile file;
        QCOMPARE(file.Open(path, 0, CTextLineFile::OpenMode::ReadOnly), 0);
        QVERIFY(FileSystem::isReadOnly(path));
        std::string line;
        std::int32_t length = 0;
        QCOMPARE(file.ReadLine(line, 4096, length), CTextLineFile::LastLine);
        QCOMPARE(line, std::string("1<a"));
        // Nothing reaches the file, even for a user the attribute does not stop.
        file.WriteText("2<b", 2);
        QCOMPARE(file.Close(), 31);
        QCOMPARE(dir_->read("r.txt"), std::string("1<a\r\n"));
        FileSystem::clearReadOnly(path);
    }

    void destructorWritesPendingText()
    {
        {
            CTextLineFile file;
            QCOMPARE(file.Open(dir_->file("d.txt"), 0, CTextLineFile::OpenMode::ReadWriteTruncate),
                     0);
            file.WriteText("kept", 2);
        }
        QCOMPARE(dir_->read("d.txt"), std::string("kept\r\n"));
    }

private:
    std::unique_ptr<TempAppDir> dir_;
};

QUILLERY_REGISTER_TEST(TestTextLineFile)
#include "tst_TextLineFile.moc"
