#include "BodyIndexFixture.h"
#include "TestRegistry.h"

#include <QRandomGenerator>

class TestBodyIndexMerges : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A run that ends with Optimize leaves the levels above the first to it: however
    // many segments are written, none goes above level 1 until then. The index stays
    // exact throughout, whether a merge joined lists as bytes (posts put in ascending
    // order) or unpacked them (posts put in descending order, posts put again).
    void deferredMergesStayExact_data() { engineRows(); }
    void deferredMergesStayExact()
    {
        OPEN_FIXTURE(f);
        f.index->DeferMerges();
        QRandomGenerator random(91);
        const int segments = (BodyIndex::MergeFanIn + 1) * BodyIndex::MergeFanIn;
        for (int i = 0; i < segments; ++i) {
            const long long id = i < segments / 2 ? i + 1 : 10000 - i;
            QVERIFY(f.put(id, SearchTest::makePost(random, 6)));
            if (i % 29 == 28)
                QVERIFY(f.put(i / 2 + 1, SearchTest::makePost(random, 6)));
        }
        QCOMPARE(f.rows("select max(level) from posts_body_seg"), std::vector<std::string> {"1"});
        QVERIFY(std::stoi(f.rows("select count(*) from posts_body_seg where level = 1").front())
                >= BodyIndex::MergeFanIn);
        verifyNoGhosts(f);
        for (int round = 0; round < 2; ++round) {
            for (const char *q : {"的", "数据库", "\"内存 泄漏\"", "malloc", "-的 程序"}) {
                const SearchQuery query = parsed(gbk(q));
                QVERIFY2(f.found(query) == f.expected(query), q);
            }
            if (round == 0) {
                QCOMPARE(f.index->Optimize(), 0L);
                verifyNoGhosts(f);
                QCOMPARE(f.rows("select count(*) from posts_body_seg"),
                         std::vector<std::string> {"1"});
            }
        }
    }
};

QUILLERY_REGISTER_TEST(TestBodyIndexMerges)
#include "tst_BodyIndexMerges.moc"
