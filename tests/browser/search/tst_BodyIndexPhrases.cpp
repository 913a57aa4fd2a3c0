#include "BodyIndexFixture.h"
#include "TestRegistry.h"

// Phrases whose pairs stand in many posts: their candidates are checked on the kept
// texts, many at a time (on SQLite by a second connection beside the search's), and a
// phrase's commonest pairs are not read when checking its few candidates costs less.
class TestBodyIndexPhrases : public QObject
{
    Q_OBJECT

    static constexpr int Posts = 1300;

    // Every post holds 甲乙 and 乙丙, a third of them as the phrase 甲乙丙 (half of those
    // as 甲乙丙丁), and every one 戊己; nine hold 丁戊 as well, five of them as 丁戊己.
    static std::string post(int id)
    {
        std::string text = id % 6 == 0 ? "甲乙丙丁" : id % 3 == 0 ? "甲乙丙" : "甲乙，乙丙";
        text += "，戊己";
        if (id % 160 == 1)
            text += id % 320 == 1 ? "，丁戊己" : "，丁戊";
        return gbk(text.c_str());
    }

    static bool putAll(Fixture &f)
    {
        for (int id = 1; id <= Posts; ++id) {
            if (!f.put(id, post(id), 1 + id % 4))
                return false;
        }
        return f.index->Flush() == 0;
    }

    static void verifyExact(Fixture &f)
    {
        for (const char *q : {"甲乙丙", "丁戊己", "甲乙丙 -乙丙丁", "\"乙丙 戊己\""}) {
            const SearchQuery query = parsed(gbk(q));
            long long count = -1;
            const std::vector<long long> got = f.found(query, {}, &count);
            QVERIFY2(got == f.expected(query), q);
            QCOMPARE(count, (long long)got.size());
            QVERIFY2(f.found(query, {2, 3}) == f.expected(query, {2, 3}), q);
        }
        QCOMPARE(f.expected(parsed(gbk("甲乙丙"))).size(), std::size_t(Posts / 3));
        QCOMPARE(f.expected(parsed(gbk("丁戊己"))).size(), std::size_t(5));
    }

private Q_SLOTS:
    void manyCandidatesExact_data() { engineRows(); }
    void manyCandidatesExact()
    {
        OPEN_FIXTURE(f);
        // Searched before the commit, in the caller's transaction: the posts are seen
        // there only, so no other connection may answer for them.
        QCOMPARE(f.ado.BeginTransaction(), 0L);
        QVERIFY(putAll(f));
        verifyExact(f);
        QCOMPARE(f.ado.CommitTransaction(), 0L);
        verifyExact(f);
    }

    // Texts short and long, packed with others into a part, alone in one, or too long for
    // a row: each is found by the phrase at its end, and again after the removal of a
    // third of them has moved the rest to new parts.
    void textsOfEverySizeAfterRemovals_data() { engineRows(); }
    void textsOfEverySizeAfterRemovals()
    {
        OPEN_FIXTURE(f);
        const std::size_t sizes[] = {4, 1990, 3996, 4004, 8200, 30000};
        const std::string filler = gbk("天地，");
        const std::string phrase = gbk("甲乙丙");
        QCOMPARE(f.ado.BeginTransaction(), 0L);
        for (int id = 1; id <= 36; ++id) {
            std::string text;
            while (text.size() < sizes[id % 6])
                text += filler;
            QVERIFY(f.put(id, text + (id % 4 ? phrase : filler)));
        }
        QCOMPARE(f.index->Flush(), 0L);
        QCOMPARE(f.ado.CommitTransaction(), 0L);
        const SearchQuery query = parsed(phrase);
        QCOMPARE(f.found(query), f.expected(query));
        QCOMPARE(f.expected(query).size(), std::size_t(27));
        std::vector<long long> gone;
        for (long long id = 3; id <= 36; id += 3) {
            gone.push_back(id);
            f.texts.erase(id);
        }
        QCOMPARE(f.index->Remove(gone), 0L);
        QCOMPARE(f.index->Optimize(), 0L);
        QCOMPARE(f.found(query), f.expected(query));
        QCOMPARE(f.expected(query).size(), std::size_t(18));
        verifyNoGhosts(f);
    }

    // A text checked in the later half of many, whose part is not where its row says:
    // refused as broken, however the texts were shared out.
    void brokenTextAmongManyRefused_data() { engineRows(); }
    void brokenTextAmongManyRefused()
    {
        OPEN_FIXTURE(f);
        QCOMPARE(f.ado.BeginTransaction(), 0L);
        QVERIFY(putAll(f));
        QCOMPARE(f.ado.CommitTransaction(), 0L);
        QVERIFY(f.rows("update posts_body_doc set len = len + 100000 where topicid = "
                       + std::to_string(Posts - 1))
                != std::vector<std::string> {"failed"});
        BodySearchResult result;
        QCOMPARE(f.index->Search(parsed(gbk("甲乙丙")), {}, 0, 10, result), 31L);
        QVERIFY2(show(f.index->Problem()).contains(QString::fromUtf8("已损坏")),
                 qPrintable(show(f.index->Problem())));
        // The index still answers what needs no kept text.
        QCOMPARE(f.index->Search(parsed(gbk("乙丙")), {}, 0, 10, result), 0L);
        QCOMPARE(result.count, (long long)Posts);
    }
};

QUILLERY_REGISTER_TEST(TestBodyIndexPhrases)
#include "tst_BodyIndexPhrases.moc"
