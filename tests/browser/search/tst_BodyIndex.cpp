#include "BodyIndexFixture.h"
#include "TestRegistry.h"
#include "TokenizerCases.h"

#include "browser/db/CAdoManager.h"
#include "browser/search/BodyIndex.h"
#include "browser/search/BodyIndexStore.h"
#include "browser/search/BodyPostings.h"
#include "browser/search/BodyTokens.h"

#include <QTest>

#include <algorithm>
#include <map>
#include <random>

class TestBodyIndex : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tokenizerCases_data() { engineRows(); }
    void tokenizerCases()
    {
        OPEN_FIXTURE(f);
        const auto &cases = SearchTest::TokenizerCases;
        QCOMPARE(f.ado.BeginTransaction(), 0L);
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            QVERIFY(f.put(static_cast<long long>(i + 1), gbk(cases[i].page)));
            // The terms the index takes from a text are those the tokenizer gives.
            const std::string &text = f.texts[static_cast<long long>(i + 1)];
            QVERIFY2(BodyPostings::Terms(text) == BodyTokens::TermSet(text), cases[i].name);
        }
        QCOMPARE(f.index->Flush(), 0L);
        QCOMPARE(f.ado.CommitTransaction(), 0L);
        // Read back from the database's own tables.
        verifyNoGhosts(f);
    }

    void exactAgainstBruteForce_data() { engineRows(); }
    void exactAgainstBruteForce()
    {
        OPEN_FIXTURE(f);
        QRandomGenerator random(20240601);
        // Posts in no order of their ids, in batches of a transaction each (segments
        // merged on the way), then some indexed again: lists of several segments, out
        // of order, with stale entries.
        std::vector<int> order;
        for (int id = 1; id <= 240; ++id)
            order.push_back(id);
        std::shuffle(order.begin(), order.end(), random);
        for (int i = 0; i < 240 + 30; ++i) {
            if (i % 25 == 0)
                QCOMPARE(f.ado.BeginTransaction(), 0L);
            const int id = order[std::size_t(i % 240)];
            QVERIFY(f.put(id * 3, SearchTest::makePost(random, 40 + int(random.bounded(200))),
                          1 + id % 5));
            if (i % 25 == 24 || i + 1 == 240 + 30) {
                QCOMPARE(f.index->Flush(), 0L);
                QCOMPARE(f.ado.CommitTransaction(), 0L);
            }
        }
        QVERIFY(f.rows("select count(*) from posts_body_seg").front() != "1");

        std::vector<std::string> queries;
        for (const char *w : SearchTest::words())
            queries.push_back(gbk(w));
        for (const char *w : SearchTest::englishWords())
            queries.push_back(w);
        // Pieces of the texts themselves: inside runs, across element boundaries.
        for (int i = 0; i < 80; ++i) {
            const std::string &text =
                    std::next(f.texts.begin(), random.bounded(int(f.texts.size())))->second;
            const auto elements = BodyTokens::Elements(text);
            if (elements.size() < 3)
                continue;
            const std::size_t at = random.bounded(int(elements.size() - 2));
            const std::string_view a = elements[at];
            const std::string_view b = elements[at + 1];
            if (BodyTokens::IsCjkElement(a)) {
                const std::size_t n = BodyTokens::CjkLength(a);
                const std::size_t from = random.bounded(int(n));
                const std::size_t len = 1 + random.bounded(int(std::min<std::size_t>(6, n - from)));
                queries.push_back(std::string(a.substr(2 * from, 2 * len)));
                queries.push_back(
                        "\"" + std::string(a.substr(2 * from)) + " "
                        + std::string(b.substr(0, BodyTokens::IsCjkElement(b) ? 2 : b.size()))
                        + "\"");
            } else {
                queries.push_back("\"" + std::string(a) + " " + std::string(b) + "\"");
            }
        }
        queries.push_back(gbk("数据 -内存"));
        queries.push_back(gbk("的 -了 -malloc"));
        queries.push_back(gbk("-\"内存 泄漏\" 程序"));
        queries.push_back(gbk("不存在的词语"));
        queries.push_back(gbk("据 库"));
        int checked = 0;
        for (const std::string &q : queries) {
            const SearchQuery query = parsed(q);
            if (query.terms.empty())
                continue;
            long long count = -1;
            const std::vector<long long> got = f.found(query, {}, &count);
            QVERIFY2(got == f.expected(query), qPrintable(show(q)));
            QCOMPARE(count, (long long)got.size());
            QVERIFY2(f.found(query, {2, 3}) == f.expected(query, {2, 3}), qPrintable(show(q)));
            ++checked;
        }
        QVERIFY(checked > 120);
        // Pages are windows of the same order.
        const SearchQuery common = parsed(gbk("的"));
        const std::vector<long long> all = f.expected(common);
        QVERIFY(all.size() > 20);
        BodySearchResult page;
        QCOMPARE(f.index->Search(common, {}, 5, 7, page), 0L);
        QCOMPARE(page.count, (long long)all.size());
        QVERIFY(page.topicids == std::vector<long long>(all.begin() + 5, all.begin() + 12));
    }

    void replaceAndRemoveLeaveNoGhosts_data() { engineRows(); }
    void replaceAndRemoveLeaveNoGhosts()
    {
        OPEN_FIXTURE(f);
        QRandomGenerator random(77);
        for (int id = 1; id <= 40; ++id)
            QVERIFY(f.put(id, SearchTest::makePost(random, 60)));
        for (int id = 1; id <= 40; id += 4)
            QVERIFY(f.put(id, SearchTest::makePost(random, 30))); // the file changed
        std::vector<long long> gone = {2, 3, 10, 11, 999};
        QCOMPARE(f.index->Remove(gone), 0L);
        for (long long id : gone)
            f.texts.erase(id);
        verifyNoGhosts(f);
        // Indexed again with other words after its removal.
        QVERIFY(f.put(3, gbk("重新加入的帖子")));
        // Undone with the caller's transaction: neither the adds nor the remove count,
        // and nothing held of them is written later.
        QCOMPARE(f.ado.BeginTransaction(), 0L);
        QCOMPARE(f.index->Put(5, ExtractPostText(gbk("回滚的内容")), {}), 0L);
        QCOMPARE(f.index->Put(41, ExtractPostText(gbk("回滚的新帖")), {}), 0L);
        QCOMPARE(f.index->Remove({6}), 0L);
        QCOMPARE(f.index->Put(42, ExtractPostText(gbk("回滚前未写出")), {}), 0L);
        QCOMPARE(f.ado.RollbackTransaction(), 0L);
        verifyNoGhosts(f);
        // One transaction putting a post twice, and removing one it put.
        QCOMPARE(f.ado.BeginTransaction(), 0L);
        QVERIFY(f.put(8, gbk("第一次")));
        QVERIFY(f.put(8, gbk("第二次 内存")));
        QVERIFY(f.put(43, gbk("放入后删除")));
        QCOMPARE(f.index->Remove({43}), 0L);
        f.texts.erase(43);
        QVERIFY(f.put(44, gbk("提交前写出")));
        QCOMPARE(f.index->Flush(), 0L);
        QCOMPARE(f.ado.CommitTransaction(), 0L);
        verifyNoGhosts(f);
        // Committed without Flush: what was held is written at the next call.
        QCOMPARE(f.ado.BeginTransaction(), 0L);
        QVERIFY(f.put(45, gbk("忘了写出")));
        QCOMPARE(f.ado.CommitTransaction(), 0L);
        verifyNoGhosts(f);
        for (int round = 0; round < 2; ++round) {
            for (const char *q : {"的", "数据库", "回滚", "\"内存 泄漏\"", "malloc", "第一次",
                                  "第二次", "重新加入", "删除", "忘了"}) {
                const SearchQuery query = parsed(gbk(q));
                QVERIFY2(f.found(query) == f.expected(query), q);
            }
            QCOMPARE(f.index->Optimize(), 0L);
            verifyNoGhosts(f);
            QCOMPARE(f.rows("select count(*) from posts_body_stale"),
                     std::vector<std::string> {"0"});
            QCOMPARE(f.rows("select count(*) from posts_body_seg"), std::vector<std::string> {"1"});
        }
        // After a full merge: replaced and removed again, then merged in levels.
        QVERIFY(f.put(9, gbk("合并后替换")));
        QCOMPARE(f.index->Remove({12}), 0L);
        f.texts.erase(12);
        for (int id = 100; id < 100 + 9 * BodyIndex::MergeFanIn; ++id)
            QVERIFY(f.put(id, SearchTest::makePost(random, 10)));
        verifyNoGhosts(f);
        QVERIFY(f.rows("select count(*) from posts_body_seg").front() != "1");
        // A post whose text is now empty leaves nothing either.
        QVERIFY(f.put(7, gbk("<p>，。</p>")));
        verifyNoGhosts(f);
    }

    // Texts of posts indexed again leave their old bytes behind; Optimize drops parts
    // no post uses and rewrites those mostly unused, and the phrases still check. Posts
    // of a few kilobytes: on SQLite their texts run across parts.
    void keptTextsCompacted_data() { engineRows(); }
    void keptTextsCompacted()
    {
        OPEN_FIXTURE(f);
        QRandomGenerator random(11);
        QCOMPARE(f.ado.BeginTransaction(), 0L);
        for (int id = 1; id <= 10; ++id)
            QVERIFY(f.put(id, SearchTest::makePost(random, id == 3 ? 6000 : 900)));
        QCOMPARE(f.index->Flush(), 0L);
        QCOMPARE(f.ado.CommitTransaction(), 0L);
        QCOMPARE(f.ado.BeginTransaction(), 0L);
        for (int id = 1; id <= 8; ++id)
            QVERIFY(f.put(id, SearchTest::makePost(random, id == 5 ? 6000 : 900)));
        QCOMPARE(f.index->Flush(), 0L);
        QCOMPARE(f.ado.CommitTransaction(), 0L);
        QCOMPARE(f.index->Remove({1}), 0L);
        f.texts.erase(1);
        QCOMPARE(f.index->Optimize(), 0L);
        verifyNoGhosts(f);
        // Each post's text lies in parts that exist, running on only past full ones, and
        // each part is at least half used.
        const bool sqlite = engine == TestEngine::SQLite;
        std::map<long long, std::pair<long long, long long>> parts; // size, used
        for (const std::string &row : f.rows("select part || ' ' || length(texts) from "
                                             "posts_body_text")) {
            long long part = 0, size = 0;
            QVERIFY(std::sscanf(row.c_str(), "%lld %lld", &part, &size) == 2);
            parts[part] = {size, 0};
        }
        bool ran = false;
        for (const std::string &row :
             f.rows("select part || ' ' || at || ' ' || len from posts_body_doc where len > 0")) {
            long long part = 0, at = 0, len = 0;
            QVERIFY(std::sscanf(row.c_str(), "%lld %lld %lld", &part, &at, &len) == 3);
            for (; len > 0; ++part, at = 0) {
                const auto p = parts.find(part);
                QVERIFY2(p != parts.end() && at < p->second.first, row.c_str());
                const long long n = std::min(len, p->second.first - at);
                p->second.second += n;
                len -= n;
                QVERIFY(len == 0 || (sqlite && p->second.first == BodyIndexStore::TextRunBytes));
                ran = ran || len > 0;
            }
        }
        QCOMPARE(ran, sqlite);
        for (const auto &[part, sizeUsed] : parts)
            QVERIFY2(2 * sizeUsed.second >= sizeUsed.first, std::to_string(part).c_str());
        // Phrases of three characters from every post: checked on the moved texts.
        for (const auto &[id, text] : f.texts) {
            for (std::string_view e : BodyTokens::Elements(text)) {
                if (BodyTokens::IsCjkElement(e) && e.size() >= 6) {
                    const SearchQuery query = parsed(std::string(e.substr(0, 6)));
                    QVERIFY(f.found(query) == f.expected(query));
                    break;
                }
            }
        }
    }

    // Broken index data is refused with a message, never read as lists.
    void brokenDataRefused_data() { engineRows(); }
    void brokenDataRefused()
    {
        OPEN_FIXTURE(f);
        QVERIFY(f.put(1, gbk("内存泄漏的问题")));
        QVERIFY(f.put(2, gbk("内存泄漏")));
        // A block whose entry runs past its end, and one whose list has an id twice.
        std::string twice;
        BodyPostings::AppendEntry(twice, gbk("内存"), std::string("\x02\x00", 2));
        for (const std::string &block : {std::string("\x05\xff\xff"), twice}) {
            const BoundStatement update {
                    "update posts_body_term set block = ?", {SqlValue::fromBlob(block)}, {}};
            QCOMPARE(f.ado.ExecuteSql(update, CAdoManager::CommandText), 0L);
            BodySearchResult result;
            QCOMPARE(f.index->Search(parsed(gbk("内存")), {}, 0, 10, result), 31L);
            QVERIFY2(show(f.index->Problem()).contains(QString::fromUtf8("已损坏")),
                     qPrintable(show(f.index->Problem())));
            QCOMPARE(f.index->Optimize(), 31L);
        }
    }

    // A kept text that is not where the post's row says, or whose part is gone: a phrase
    // checked on it is refused as broken, never answered from other bytes.
    void brokenTextsRefused_data() { engineRows(); }
    void brokenTextsRefused()
    {
        OPEN_FIXTURE(f);
        QVERIFY(f.put(1, gbk("内存泄漏的问题")));
        QVERIFY(f.put(2, gbk("内存泄漏")));
        // A post whose text runs on into a part that is gone (on PostgreSQL the part it
        // lies in).
        QRandomGenerator random(5);
        std::string post = SearchTest::makePost(random, 6000);
        post.insert(post.find("<div class=\"post\">") + 18, gbk("内存泄漏"));
        QVERIFY(f.put(3, post));
        const std::string lastPart = f.rows("select max(part) from posts_body_text").at(0);
        for (const std::string &damage :
             {"delete from posts_body_text where part = " + lastPart,
              std::string("update posts_body_doc set len = len + 100000"),
              std::string("delete from posts_body_text")}) {
            QVERIFY(f.rows(damage) != std::vector<std::string> {"failed"});
            BodySearchResult result;
            QCOMPARE(f.index->Search(parsed(gbk("内存泄漏")), {}, 0, 10, result), 31L);
            QVERIFY2(show(f.index->Problem()).contains(QString::fromUtf8("已损坏")),
                     qPrintable(show(f.index->Problem())));
            // A word of one pair needs no kept text.
            QCOMPARE(f.index->Search(parsed(gbk("内存")), {}, 0, 10, result), 0L);
            QCOMPARE(result.count, 3LL);
        }
    }

    void versionMismatchRefused_data() { engineRows(); }
    void versionMismatchRefused()
    {
        OPEN_FIXTURE(f);
        QVERIFY(f.put(1, gbk("内存泄漏")));
        QVERIFY(f.rows("update quillery_body_index set version = 0")
                != std::vector<std::string> {"failed"});
        BodyIndex other(f.ado, BodyIndex::EngineOf(f.db->connectionString()), "posts");
        BodySearchResult result;
        QCOMPARE(other.Search(parsed(gbk("内存")), {}, 0, 10, result),
                 BodyIndex::IndexOtherVersion);
        QVERIFY2(show(other.Problem()).contains(QString::fromUtf8("版本 0")),
                 qPrintable(show(other.Problem())));
        QCOMPARE(other.Put(2, ExtractPostText(gbk("别的")), {}), BodyIndex::IndexOtherVersion);
        BodyIndex::State state;
        int version = -1;
        QCOMPARE(other.GetState(state, version), 0L);
        QCOMPARE(state, BodyIndex::State::OtherVersion);
        QCOMPARE(other.Drop(), 0L);
        QCOMPARE(other.Search(parsed(gbk("内存")), {}, 0, 10, result), BodyIndex::IndexMissing);
        QVERIFY(show(other.Problem()).contains(QString::fromUtf8("还没有正文索引")));
        QCOMPARE(other.Drop(), 0L); // nothing left to drop
        QCOMPARE(other.Create(), 0L);
        QCOMPARE(other.GetState(state, version), 0L);
        QCOMPARE(state, BodyIndex::State::Current);
        QCOMPARE(version, BodyTokens::TokenizerVersion);
        QCOMPARE(other.Search(parsed(gbk("内存")), {}, 0, 10, result), 0L);
        QCOMPARE(result.count, 0LL); // a new, empty index
        BodyIndex bad(f.ado, BodyIndex::EngineOf(f.db->connectionString()), "posts; drop");
        QCOMPARE(bad.Create(), 87L);
    }

    void stampsAndOrphans_data() { engineRows(); }
    void stampsAndOrphans()
    {
        OPEN_FIXTURE(f);
        for (int id = 1; id <= 5; ++id)
            QVERIFY(f.put(id, gbk("帖子正文")));
        // Post 6 has a row but no index entry yet; post 2's row goes away.
        QCOMPARE(f.ado.ExecuteSql("insert into posts (topicid, title, roomid) values (6, 't', 1)",
                                  CAdoManager::CommandText),
                 0L);
        QCOMPARE(f.ado.ExecuteSql("delete from posts where topicid = 2", CAdoManager::CommandText),
                 0L);
        std::vector<BodyStampRow> rows;
        QCOMPARE(f.index->Stamps(0, 3, rows), 0L);
        QCOMPARE(rows.size(), std::size_t(3));
        QCOMPARE(rows[0].topicid, 1LL);
        QVERIFY(rows[0].indexed);
        QCOMPARE(rows[0].stamp.modified, 1LL);
        QCOMPARE(f.index->Stamps(rows.back().topicid, 10, rows), 0L);
        QCOMPARE(rows.size(), std::size_t(2)); // 5, 6 after 1, 3, 4
        QVERIFY(!rows.back().indexed);
        bool indexed = false;
        PostFileStamp stamp;
        QCOMPARE(f.index->GetStamp(3, indexed, stamp), 0L);
        QVERIFY(indexed);
        QCOMPARE(stamp.modified, 3LL);
        std::vector<long long> orphans;
        QCOMPARE(f.index->Orphans(0, 10, orphans), 0L);
        QCOMPARE(orphans, std::vector<long long> {2});
    }

    // What a query holds is text: quotes, percent signs, backslashes and the trail byte
    // 0x5C of a double-byte character reach no SQL.
    void queryTextIsLiteral_data() { engineRows(); }
    void queryTextIsLiteral()
    {
        OPEN_FIXTURE(f);
        QVERIFY(f.put(1, gbk("折扣 100% it's c:\\dir 乗客")));
        QVERIFY(f.put(2, gbk("折扣 100 a_b it s")));
        QVERIFY(f.put(3, gbk("乘客 81 5c")));
        for (const char *q : {"100%", "it's", "c:\\dir", "a_b", "乗", "乗客", "'", "\"it s\"", "\\",
                              "%' or 1=1 --"}) {
            const SearchQuery query = parsed(gbk(q));
            if (query.terms.empty())
                continue;
            QVERIFY2(f.found(query) == f.expected(query), q);
        }
    }

    // A post of the largest text one post gives, all different pairs: PostgreSQL takes
    // its terms in one row.
    void largestPost_data() { engineRows(); }
    void largestPost()
    {
        OPEN_FIXTURE(f);
        QRandomGenerator random(5);
        std::string page;
        while (page.size() < 2 * BodyText::MaxIndexedChars + 100) {
            const int lead = 0xB0 + int(random.bounded(0xF7 - 0xB0));
            const int trail = 0xA1 + int(random.bounded(0xFE - 0xA1));
            page += char(lead);
            page += char(trail);
        }
        QVERIFY(f.put(1, page));
        const std::string &text = f.texts[1];
        QVERIFY(text.size() > BodyText::MaxIndexedChars);
        std::string piece;
        for (std::string_view e : BodyTokens::Elements(text)) {
            if (BodyTokens::IsCjkElement(e) && e.size() >= 8)
                piece = std::string(e.substr(e.size() - 8));
        }
        QVERIFY(!piece.empty());
        const SearchQuery query = parsed(piece);
        QCOMPARE(f.found(query), std::vector<long long> {1});
    }
};

QUILLERY_REGISTER_TEST(TestBodyIndex)
#include "tst_BodyIndex.moc"
