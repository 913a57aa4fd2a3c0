#include "BodyIndexFixture.h"
#include "TestRegistry.h"

#include <atomic>
#include <chrono>
#include <thread>

// Two programs writing one shared PostgreSQL archive at once, as two imports do: the
// second's batch waits for the first's commit instead of failing on the same segment.
class TestBodyIndexWriters : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void secondWriterWaitsForTheFirst_data()
    {
        QTest::addColumn<TestEngine>("engine");
        QTest::newRow("postgresql") << TestEngine::PostgreSQL;
    }
    void secondWriterWaitsForTheFirst()
    {
        OPEN_FIXTURE(f);
        QCOMPARE(f.ado.BeginTransaction(), 0L);
        QVERIFY(f.put(1, gbk("甲乙丙，第一个")));
        QCOMPARE(f.index->Flush(), 0L);

        std::atomic<bool> done {false};
        long opened = -1, put = -1, flushed = -1, committed = -1;
        std::string problem;
        const std::string connection = f.db->connectionString();
        std::thread other([&] {
            CAdoManager ado;
            opened = ado.OpenAdoConnection(connection);
            if (opened == 0 && ado.BeginTransaction() == 0) {
                BodyIndex index(ado, BodyIndex::EngineOf(connection), "posts");
                put = index.Put(2, ExtractPostText(gbk("甲乙丙，第二个")), {1, 2});
                flushed = index.Flush();
                problem = index.Problem();
                committed = flushed == 0 ? ado.CommitTransaction() : ado.RollbackTransaction();
            }
            done = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const bool waited = !done;
        QCOMPARE(f.ado.CommitTransaction(), 0L);
        other.join();
        QVERIFY(waited);
        QCOMPARE(opened, 0L);
        QCOMPARE(put, 0L);
        QVERIFY2(flushed == 0, problem.c_str());
        QCOMPARE(committed, 0L);

        f.texts[2] = ExtractPostText(gbk("甲乙丙，第二个")).text;
        QCOMPARE(f.found(parsed(gbk("甲乙丙"))), (std::vector<long long> {2, 1}));
        verifyNoGhosts(f);
    }
};

QUILLERY_REGISTER_TEST(TestBodyIndexWriters)
#include "tst_BodyIndexWriters.moc"
