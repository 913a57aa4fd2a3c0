#include "BodyArchiveFixture.h"
#include "TestRegistry.h"

#include "browser/bodysearch/BodyIndexBuild.h"
#include "browser/bodysearch/BodyPostReader.h"
#include "browser/search/BodyIndex.h"
#include "browser/search/BodyPostings.h"

#include <QTemporaryDir>

#include <map>

namespace {

std::map<std::string, BodyPostings::Ids> listsOf(const BodyPostings::PendingSegment &segment)
{
    std::map<std::string, BodyPostings::Ids> lists;
    for (const auto &row : segment.rows()) {
        if (!BodyPostings::Decode(row.ids, lists[row.term]))
            lists[row.term] = {-1};
    }
    return lists;
}

} // namespace

class TestBodyPostReader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A post prepared apart gives the segment exactly what the text given whole does:
    // repeated, long and CJK terms alike, and the same kept text.
    void preparedPostsEqualWholeTexts()
    {
        const std::string longWord(20, 'q');
        const std::string texts[] = {gbk(" 数据 数据 数据库 ") + longWord + " a a ",
                                     gbk(" 内存泄漏 x ") + longWord + " ", std::string()};
        BodyPostings::PendingSegment whole, prepared;
        long long id = 10;
        for (const std::string &text : texts) {
            whole.add(id, text, 1, 2);
            PostText post;
            post.text = text;
            PreparedBodyPost ready = BodyIndex::Prepare(post);
            prepared.addPrepared(id, std::move(ready.text), ready.terms, 1, 2);
            --id;
        }
        QCOMPARE(listsOf(prepared), listsOf(whole));
        QCOMPARE(prepared.docs().size(), whole.docs().size());
        for (std::size_t i = 0; i < whole.docs().size(); ++i)
            QCOMPARE(prepared.docs()[i].text, whole.docs()[i].text);
        const PreparedBodyPost ready = BodyIndex::Prepare(std::string(gbk(" 数据 数据 ")));
        QCOMPARE(ready.terms.size(), std::size_t(3)); // 数, 数据, 据 once each
    }

    // Each post comes back in the order given, whatever befell it; a post the index
    // holds is read only when its file changed.
    void readsInOrder()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::string root = dir.path().toStdString();
        std::vector<BodyReadJob> jobs;
        PostFileStamp stamp3;
        for (long long id = 1; id <= 6; ++id) {
            BodyReadJob job;
            job.topicid = id;
            job.path = root + "/" + std::to_string(id) + ".htm";
            if (id != 2)
                writeBytes(QString::fromStdString(job.path),
                           BodyArchive::page("word" + std::to_string(id)));
            jobs.push_back(job);
        }
        std::string problem;
        QVERIFY(StampPostFile(jobs[2].path, stamp3, problem));
        jobs[2].indexed = true;
        jobs[2].stamp = stamp3; // unchanged
        jobs[3].indexed = true; // changed: no stamp of its size
        jobs[4].line = "no place for it";
        jobs[4].path.clear();

        BodyPostReader reader(1, 1); // one result at a time: the reader waits on the taker
        QVERIFY(reader.Start(problem));
        reader.Add(std::vector<BodyReadJob>(jobs.begin(), jobs.begin() + 3));
        reader.Add(std::vector<BodyReadJob>(jobs.begin() + 3, jobs.end()));
        using Kind = BodyReadResult::Kind;
        const Kind kinds[] = {Kind::Ready, Kind::Unreadable, Kind::Unchanged,
                              Kind::Ready, Kind::Unreadable, Kind::Ready};
        for (long long id = 1; id <= 6; ++id) {
            BodyReadResult result;
            QVERIFY(reader.Take(result));
            QCOMPARE(result.topicid, id);
            QCOMPARE(int(result.kind), int(kinds[id - 1]));
            if (result.kind == Kind::Ready) {
                QVERIFY(result.post.text.find("word" + std::to_string(id)) != std::string::npos);
                QVERIFY(!result.post.terms.empty());
                QVERIFY(result.stamp.size > 0);
            }
        }
        BodyReadResult result;
        QCOMPARE(BodyPostReader::Read(std::move(jobs[1])).fileProblem, true);
        QCOMPARE(BodyPostReader::Read(std::move(jobs[4])).problem, std::string("no place for it"));
        reader.Stop();
        QVERIFY(!reader.Take(result)); // a stopped reader hands nothing more
    }

    // A reader with work left and its results not taken ends at once when dropped.
    void droppedWhileAhead()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::string path = dir.path().toStdString() + "/p.htm";
        writeBytes(QString::fromStdString(path), BodyArchive::page("some text"));
        BodyPostReader reader(2, 1 << 20);
        std::string why;
        QVERIFY(reader.Start(why));
        std::vector<BodyReadJob> jobs(1000);
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            jobs[i].topicid = (long long)i;
            jobs[i].path = path;
        }
        reader.Add(std::move(jobs));
        BodyReadResult result;
        QVERIFY(reader.Take(result));
        QCOMPARE(result.topicid, 0LL);
    } // the destructor stops and joins a reader blocked on its bound

    // Over several pages, with the reader ahead of the writer: the lines of unreadable
    // posts come in post order, and an abort on one of them keeps exactly the batches
    // committed before it.
    void linesInOrderAndAbortAhead_data() { addEngineRows(); }
    void linesInOrderAndAbortAhead()
    {
        OPEN_BODY_ARCHIVE(a);
        const std::vector<long long> missing = {3, 150, 199, 200, 201, 333, 420};
        for (long long id = 1; id <= 450; ++id) {
            QVERIFY(a.add(id, int(id % 2 ? 1 : 12), gbk("帖子 内容 ") + "w" + std::to_string(id)));
            if (std::find(missing.begin(), missing.end(), id) != missing.end()) {
                QFile::remove(QString::fromLocal8Bit(a.fileOf(id)));
                a.posts["TA"].erase(id);
            }
        }
        const auto idOf = [](const std::string &line) {
            const std::size_t at = line.find_first_of("0123456789");
            return std::stoll(line.substr(at));
        };
        {
            BodyIndexBuild build(a.rooms, a.connection());
            build.SetBatchPosts(4);
            std::vector<long long> lines;
            build.SetLineHandler([&](const std::string &line) {
                lines.push_back(idOf(line));
                if (lines.back() == 201)
                    build.Abort();
            });
            QCOMPARE(build.Run({{"TA", 0}}), BodyIndexOutcome::Aborted);
            QCOMPARE(lines, (std::vector<long long> {3, 150, 199, 200, 201}));
            // Page one's readable posts but its last batch (195..198): that one was
            // sealed, to be written once the next was built, and went with the abort.
            QCOMPARE(build.Progress().indexed.load(), 192LL);
            std::vector<long long> want;
            for (long long id : a.expected(parsedQuery("内容"), {}, "TA"))
                if (id < 195)
                    want.push_back(id);
            QCOMPARE(a.found(parsedQuery("内容"), {ArchiveSearchScope(a.rooms)[0]}), want);
        }
        BodyIndexBuild build(a.rooms, a.connection());
        build.SetBatchPosts(7);
        std::vector<long long> lines;
        build.SetLineHandler([&](const std::string &line) { lines.push_back(idOf(line)); });
        QCOMPARE(build.Run({{"TA", 0}}), BodyIndexOutcome::Completed);
        QCOMPARE(lines, missing);
        QCOMPARE(build.Progress().checked.load(), 450LL);
        QCOMPARE(build.Progress().indexed.load(), 450LL - 7 - 192);
        QCOMPARE(a.found(parsedQuery("内容"), {ArchiveSearchScope(a.rooms)[0]}),
                 a.expected(parsedQuery("内容"), {}, "TA"));
        QCOMPARE(a.found(parsedQuery("w333"), {ArchiveSearchScope(a.rooms)[0]}),
                 std::vector<long long> {});
        QCOMPARE(a.found(parsedQuery("w334"), {ArchiveSearchScope(a.rooms)[0]}),
                 std::vector<long long> {334});
    }
};

QUILLERY_REGISTER_TEST(TestBodyPostReader)
#include "tst_BodyPostReader.moc"
