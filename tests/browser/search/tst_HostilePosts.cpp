#include "SearchTestHelpers.h"
#include "TestRegistry.h"

#include "browser/search/PostText.h"

#include <QFile>
#include <QTest>

#include <fstream>
#include <sys/stat.h>

namespace {

constexpr long long HugeBytes = 200LL * 1024 * 1024;

// AddressSanitizer keeps freed memory in quarantine, so memory figures mean nothing
// under it; the text checks still run.
#ifdef __SANITIZE_ADDRESS__
constexpr long MemoryBoundMb = 1 << 20;
#else
constexpr long MemoryBoundMb = 64;
#endif

// The peak memory of this process so far, in MB.
long peakMb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6)) / 1024;
    }
    return -1;
}

// Writes head, then filler repeated up to HugeBytes, then tail.
bool writeHuge(const QString &path, const std::string &head, const std::string &filler,
               const std::string &tail)
{
    std::ofstream out(path.toStdString(), std::ios::binary);
    out << head;
    std::string block;
    while (block.size() < (1 << 20))
        block += filler;
    for (long long written = 0; written < HugeBytes; written += (long long)block.size())
        out.write(block.data(), std::streamsize(block.size()));
    out << tail;
    return bool(out);
}

} // namespace

class TestHostilePosts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // 200 MB of markup with text at both ends: read through, in bounded memory.
    void hugeMarkupIsReadThrough()
    {
        TempAppDir dir;
        const QString path = dir.qtPath() + QLatin1String("/huge-markup.htm");
        QVERIFY(writeHuge(path, gbk("<p>开头</p><div>"), "<span class=\"x\"></span>\n",
                          gbk("</div><p>结尾 end</p>")));
        const long before = peakMb();
        PostText text;
        PostFileStamp stamp;
        std::string problem;
        QVERIFY(ExtractPostFile(dir.path() + "/huge-markup.htm", text, stamp, problem));
        QCOMPARE(show(text.text), QString::fromUtf8(" 开头 结尾 end "));
        QVERIFY(!text.truncated);
        QVERIFY(stamp.size > HugeBytes);
        const long grown = peakMb() - before;
        QVERIFY2(grown < MemoryBoundMb, qPrintable(QString::number(grown) + QLatin1String(" MB")));
    }

    // 200 MB of visible text: the bound is reached early and the rest is not read.
    void hugeTextStopsAtTheBound()
    {
        TempAppDir dir;
        const QString path = dir.qtPath() + QLatin1String("/huge-text.htm");
        QVERIFY(writeHuge(path, gbk("<p>"), gbk("内存泄漏 memory leak，"), "</p>"));
        const long before = peakMb();
        PostText text;
        PostFileStamp stamp;
        std::string problem;
        QVERIFY(ExtractPostFile(dir.path() + "/huge-text.htm", text, stamp, problem));
        QVERIFY(text.truncated);
        QVERIFY(text.text.size() <= BodyText::MaxIndexedChars * 2);
        QVERIFY(text.text.starts_with(gbk(" 内存泄漏 memory leak 内存泄漏 ")));
        QVERIFY(peakMb() - before < MemoryBoundMb);
    }

    void binaryFile()
    {
        TempAppDir dir;
        std::string bytes;
        QRandomGenerator random(3);
        for (int i = 0; i < 300000; ++i)
            bytes += char(random.bounded(256));
        bytes.insert(5000, std::string("\0needle_in_binary\0", 18));
        dir.write("blob.htm", bytes);
        PostText text;
        PostFileStamp stamp;
        std::string problem;
        QVERIFY(ExtractPostFile(dir.file("blob.htm"), text, stamp, problem));
        QVERIFY(text.binary);
        QVERIFY(text.text.find(" needle_in_binary ") != std::string::npos);
    }

    // What cannot be read is said, and nothing waits on a FIFO.
    void unreadable()
    {
        TempAppDir dir;
        PostText text;
        PostFileStamp stamp;
        std::string problem;
        QVERIFY(!ExtractPostFile(dir.file("missing.htm"), text, stamp, problem));
        QVERIFY(show(problem).contains(QString::fromUtf8("无法打开帖子文件")));
        QVERIFY(!ExtractPostFile(dir.path(), text, stamp, problem));
        QVERIFY(show(problem).contains(QString::fromUtf8("不是普通文件")));
        const QString fifo = dir.qtPath() + QLatin1String("/fifo.htm");
        QCOMPARE(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
        QVERIFY(!ExtractPostFile(dir.file("fifo.htm"), text, stamp, problem));
        QVERIFY(!StampPostFile(dir.file("fifo.htm"), stamp, problem) || stamp.size == 0);
    }

    void nameWithGbkBytes()
    {
        TempAppDir dir;
        dir.write(gbk("帖子\\乗.htm"), gbk("<p>正文</p>"));
        PostText text;
        PostFileStamp stamp;
        std::string problem;
        QVERIFY2(ExtractPostFile(dir.file(gbk("帖子/乗.htm")), text, stamp, problem),
                 qPrintable(show(problem)));
        QCOMPARE(show(text.text), QString::fromUtf8(" 正文 "));
        QVERIFY(StampPostFile(dir.file(gbk("帖子/乗.htm")), stamp, problem));
        QCOMPARE(stamp.size, (long long)gbk("<p>正文</p>").size());
    }
};

QUILLERY_REGISTER_TEST(TestHostilePosts)
#include "tst_HostilePosts.moc"
