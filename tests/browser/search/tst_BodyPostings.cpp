#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/search/BodyIndex.h"
#include "browser/search/BodyPostings.h"

#include <QTest>

#include <algorithm>
#include <map>
#include <random>

using BodyPostings::Ids;

class TestBodyPostings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listsRoundTrip()
    {
        const std::vector<Ids> lists = {{},
                                        {0},
                                        {-5, -1, 0, 7},
                                        {1, 2, 3, 4, 5},
                                        {1, 1LL << 40, (1LL << 62) + 3},
                                        {-(1LL << 62), 1LL << 62}};
        for (const Ids &list : lists) {
            std::string bytes;
            BodyPostings::Encode(list, bytes);
            Ids back {99};
            QVERIFY(BodyPostings::Decode(bytes, back));
            QCOMPARE(back, list);
        }
        // A run of close ids takes a byte each.
        Ids dense;
        for (long long i = 1000; i < 2000; ++i)
            dense.push_back(i);
        std::string bytes;
        BodyPostings::Encode(dense, bytes);
        QCOMPARE(bytes.size(), std::size_t(1000 + 1));
    }

    void brokenListsRefused()
    {
        Ids out;
        // A varint cut short, a gap of 0 (an id twice), more than 64 bits, a gap past
        // the largest id.
        std::string wraps;
        BodyPostings::Encode({(1LL << 62)}, wraps);
        wraps += std::string("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x7F", 9);
        for (const std::string &bytes :
             {std::string("\x02\x85", 2), std::string("\x02\x00", 2),
              std::string("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x01", 11), wraps}) {
            QVERIFY(!BodyPostings::Decode(bytes, out));
            QVERIFY(out.empty());
        }
    }

    // Joined as bytes, lists read as the list of all their ids; a list not wholly
    // above the last id, or broken, is refused and leaves the joined bytes as they were.
    void listsJoinedAsBytes()
    {
        const std::vector<Ids> pieces = {{-(1LL << 62), -3}, {},
                                         {0, 1, 2},          {3},
                                         {1LL << 40},        {(1LL << 62) + 3, (1LL << 62) + 9}};
        std::string joined;
        long long last = 0;
        Ids all;
        for (const Ids &piece : pieces) {
            std::string bytes;
            BodyPostings::Encode(piece, bytes);
            QVERIFY(BodyPostings::AppendList(joined, last, bytes));
            all.insert(all.end(), piece.begin(), piece.end());
        }
        std::string whole;
        BodyPostings::Encode(all, whole);
        QCOMPARE(joined, whole);
        QCOMPARE(last, all.back());

        std::string overlapping, broken("\x02\x00", 2);
        BodyPostings::Encode({(1LL << 62) + 9, (1LL << 62) + 10}, overlapping);
        for (const std::string &bytes : {overlapping, broken}) {
            QVERIFY(!BodyPostings::AppendList(joined, last, bytes));
            QCOMPARE(joined, whole);
            QCOMPARE(last, all.back());
        }
        // The first list is taken as it is, even below the last id given.
        std::string fresh;
        last = 1000;
        QVERIFY(BodyPostings::AppendList(fresh, last, whole));
        QCOMPARE(fresh, whole);
    }

    // Any number of runs, empty ones among them, come out as one sorted list.
    void runsMerged()
    {
        std::mt19937 random(7);
        for (int runCount : {0, 1, 2, 3, 5, 16, 17}) {
            Ids values, expected, scratch;
            std::vector<std::size_t> bounds {0};
            for (int r = 0; r < runCount; ++r) {
                Ids run(random() % 4 == 0 ? 0 : random() % 50);
                for (long long &id : run)
                    id = (long long)(random() % 1000) - 500;
                std::sort(run.begin(), run.end());
                values.insert(values.end(), run.begin(), run.end());
                bounds.push_back(values.size());
            }
            expected = values;
            std::sort(expected.begin(), expected.end());
            BodyPostings::MergeRuns(values, bounds, scratch);
            QCOMPARE(values, expected);
        }
    }

    void blockEntries()
    {
        std::string block;
        BodyPostings::AppendEntry(block, gbk("数据"), "\x02\x01");
        BodyPostings::AppendEntry(block, std::string(200, 'w'), std::string(300, '\x01'));
        std::size_t at = 0;
        std::string_view term, ids;
        bool broken = true;
        QVERIFY(BodyPostings::NextEntry(block, at, term, ids, broken));
        QCOMPARE(std::string(term), gbk("数据"));
        QCOMPARE(std::string(ids), std::string("\x02\x01"));
        QVERIFY(BodyPostings::NextEntry(block, at, term, ids, broken));
        QCOMPARE(term.size(), std::size_t(200));
        QCOMPARE(ids.size(), std::size_t(300));
        QVERIFY(!BodyPostings::NextEntry(block, at, term, ids, broken));
        QVERIFY(!broken);
        // Cut inside the second entry: an error, not the end.
        const std::string cut = block.substr(0, block.size() - 10);
        at = 0;
        QVERIFY(BodyPostings::NextEntry(cut, at, term, ids, broken));
        QVERIFY(!BodyPostings::NextEntry(cut, at, term, ids, broken));
        QVERIFY(broken);
    }

    // A byte pair across two characters can read as a third one: 中文 is D6D0 CEC4, and
    // D0CE is 形.
    void patternsStartOnCharacters()
    {
        const std::string text = gbk(" 中文 abc 形式 ");
        QVERIFY(!BodyPostings::ContainsPattern(gbk(" 中文 "), gbk("形")));
        QVERIFY(BodyPostings::ContainsPattern(text, gbk("形")));
        QVERIFY(BodyPostings::ContainsPattern(text, gbk("文 abc 形")));
        QVERIFY(BodyPostings::ContainsPattern(text, " abc "));
        QVERIFY(!BodyPostings::ContainsPattern(text, " ab "));
        QVERIFY(!BodyPostings::ContainsPattern(text, gbk("中文形")));
        // A misaligned match before an aligned one.
        QVERIFY(BodyPostings::ContainsPattern(gbk(" 中文 形 "), gbk("形")));
    }

    // Posts in any order give ascending lists; a term given often by one post is one
    // posting; rows come in byte order of their terms.
    void pendingSegmentRows()
    {
        BodyPostings::PendingSegment segment;
        const std::string longWord(20, 'q');
        segment.add(30, gbk(" 数据 数据 数据 ") + longWord + " ", 1, 2);
        segment.add(10, gbk(" 数据 a ") + longWord + " ", 3, 4);
        segment.add(20, " a ", 5, 6);
        QVERIFY(segment.holds(10));
        QVERIFY(!segment.holds(11));
        std::vector<std::string> terms;
        std::map<std::string, Ids> lists;
        for (const auto &row : segment.rows()) {
            terms.push_back(row.term);
            QVERIFY(BodyPostings::Decode(row.ids, lists[row.term]));
        }
        QVERIFY(std::is_sorted(terms.begin(), terms.end()));
        QCOMPARE(terms.size(), std::size_t(5)); // a, q..q, 数, 数据, 据
        QCOMPARE(lists["a"], (Ids {10, 20}));
        QCOMPARE(lists[gbk("数据")], (Ids {10, 30}));
        QCOMPARE(lists[gbk("据")], (Ids {10, 30}));
        QCOMPARE(lists[longWord], (Ids {10, 30}));
        QCOMPARE(segment.docs().size(), std::size_t(3));
        QCOMPARE(segment.docs()[1].size, 3LL);

        // Sealed, the same rows as the entries of one block; the segment is empty and
        // takes posts again.
        BodyPostings::PendingSegment sealedCopy = segment;
        const auto rows = segment.rows();
        const BodyPostings::SealedSegment sealed = sealedCopy.seal();
        std::size_t at = 0, n = 0;
        std::string_view term, ids;
        bool broken = false;
        while (BodyPostings::NextEntry(sealed.entries, at, term, ids, broken)) {
            QVERIFY(n < rows.size());
            QCOMPARE(std::string(term), rows[n].term);
            QCOMPARE(std::string(ids), rows[n].ids);
            ++n;
        }
        QVERIFY(!broken);
        QCOMPARE(n, rows.size());
        QCOMPARE(sealed.docs.size(), std::size_t(3));
        QCOMPARE(sealed.docs[2].topicid, 20LL);
        QVERIFY(sealedCopy.empty() && !sealedCopy.holds(10));
        sealedCopy.add(40, " a ", 7, 8);
        QCOMPARE(sealedCopy.rows().size(), std::size_t(1));
        segment.clear();
        QVERIFY(segment.empty());
        QVERIFY(segment.rows().empty());
        QVERIFY(!segment.holds(10));
    }

    // A batch built aside: a post given twice keeps its later text and stamp, and each
    // list holds an id once (a repeated id would read as a broken list).
    void builtSegmentKeepsTheLaterPost()
    {
        std::vector<BodySegmentPost> posts;
        posts.push_back({5, BodyIndex::Prepare(gbk(" 旧的 alpha ")), {10, 1}});
        posts.push_back({7, BodyIndex::Prepare(gbk(" 别的 alpha ")), {11, 2}});
        posts.push_back({5, BodyIndex::Prepare(gbk(" 新的 beta ")), {12, 3}});
        const BodyPostings::SealedSegment sealed = BodyIndex::BuildSegment(std::move(posts));
        QCOMPARE(sealed.docs.size(), std::size_t(2));
        QCOMPARE(sealed.docs[0].topicid, 7LL);
        QCOMPARE(sealed.docs[1].topicid, 5LL);
        QCOMPARE(sealed.docs[1].size, 12LL);
        QCOMPARE(sealed.docs[1].text, gbk(" 新的 beta "));
        std::map<std::string, Ids> lists;
        std::size_t at = 0;
        std::string_view term, ids;
        bool broken = false;
        while (BodyPostings::NextEntry(sealed.entries, at, term, ids, broken))
            QVERIFY(BodyPostings::Decode(ids, lists[std::string(term)]));
        QVERIFY(!broken);
        QCOMPARE(lists["alpha"], (Ids {7}));
        QCOMPARE(lists["beta"], (Ids {5}));
        QCOMPARE(lists[gbk("的")], (Ids {5, 7}));
        QVERIFY(lists.count(gbk("旧的")) == 0);
    }

    // A segment kept from batch to batch builds each as a fresh one would: nothing of
    // the batch before (its terms, their lists, its posts) is left in the next.
    void keptSegmentBuildsAsFresh()
    {
        const auto batch = [](int first, int posts, const std::string &extra) {
            std::vector<BodySegmentPost> out;
            for (int i = 0; i < posts; ++i) {
                std::string text = " w" + std::to_string(first + i) + " " + extra;
                for (int k = 0; k < 40; ++k)
                    text += "t" + std::to_string((first + i) * 7 + k) + " ";
                out.push_back({first + i, BodyIndex::Prepare(std::move(text)), {i, i}});
            }
            return out;
        };
        BodyPostings::PendingSegment kept;
        for (int round = 0; round < 3; ++round) {
            const int first = 1 + round * 5000;
            const std::string extra = gbk(round % 2 ? "数据库 " : "内存 ") + "shared ";
            const auto fresh = BodyIndex::BuildSegment(batch(first, 4000 - round * 1500, extra));
            const auto reused =
                    BodyIndex::BuildSegment(batch(first, 4000 - round * 1500, extra), kept);
            QCOMPARE(reused.entries, fresh.entries);
            QCOMPARE(reused.docs.size(), fresh.docs.size());
            QVERIFY(kept.empty());
        }
    }

    // Enough terms to make the table grow many times: nothing is lost on the way.
    void pendingSegmentGrows()
    {
        BodyPostings::PendingSegment segment;
        std::string text = " ";
        for (int i = 0; i < 200000; ++i)
            text += "w" + std::to_string(i) + " ";
        // Words of one long prefix, and double-byte characters (bytes over 0x80): byte
        // order holds past the first eight bytes and for high bytes.
        for (int i = 0; i < 50; ++i)
            text += "prefixed_word_" + std::to_string(i * 37 % 50) + " ";
        segment.add(1, text, 0, 0);
        segment.add(2, " w7 w199999 " + gbk("数据 库存 ") + "\xa1\xa1 ", 0, 0);
        const auto rows = segment.rows();
        QCOMPARE(rows.size(), std::size_t(200000 + 50 + 6 + 1)); // 2 pairs, 4 characters
        QVERIFY(std::is_sorted(rows.begin(), rows.end(),
                               [](const auto &x, const auto &y) { return x.term < y.term; }));
        int twice = 0;
        for (const auto &row : rows) {
            Ids ids;
            QVERIFY(BodyPostings::Decode(row.ids, ids));
            twice += ids.size() == 2;
        }
        QCOMPARE(twice, 2);
    }
};

QUILLERY_REGISTER_TEST(TestBodyPostings)
#include "tst_BodyPostings.moc"
