#include "ImportTestHelpers.h"
#include "TestDatabase.h"
#include "TestRegistry.h"

#include "browser/db/CAdoRecordset.h"
#include "browser/import/ImportRun.h"

namespace {

// The topicids of a table in the order its rows are stored.
std::vector<std::string> storedOrder(const std::string &connection, const std::string &table)
{
    std::vector<std::string> ids;
    CAdoManager ado;
    if (ado.OpenAdoConnection(connection) != 0)
        return ids;
    std::unique_ptr<CAdoRecordset> set;
    if (ado.ExecuteSql("select topicid from " + table + " order by rowid", set,
                       CAdoManager::CommandText)
        == 0) {
        for (; set->IsOpen() && !set->IsEOF(); set->MoveNext())
            ids.push_back(set->Value(0).Text());
    }
    set.reset();
    ado.CloseAdoConnection();
    return ids;
}

} // namespace

class TestImportOrder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // A batch may put its rows in in key order only where the table orders its rows by the
    // key itself: in any other table the rows lie in the order the files were found, as
    // the row-by-row import leaves them.
    void rowsLieInTheOrderTheRowByRowImportLeaves_data()
    {
        QTest::addColumn<QString>("columns");
        QTest::newRow("no key") << "topicid INTEGER, title TEXT, roomid INTEGER";
        QTest::newRow("text key") << "topicid TEXT PRIMARY KEY, title TEXT, roomid INTEGER";
        QTest::newRow("two key columns")
                << "topicid INTEGER, title TEXT, roomid INTEGER, PRIMARY KEY (topicid, roomid)";
        QTest::newRow("integer key") << "topicid INTEGER PRIMARY KEY, title TEXT, roomid INTEGER";
    }
    void rowsLieInTheOrderTheRowByRowImportLeaves()
    {
        QFETCH(QString, columns);
        TempAppDir dir;
        const std::string in = dir.file("in") + "/";
        // Names in no order of their numbers, so that the order found is not the key's.
        for (int i = 1; i <= 40; ++i) {
            const int id = (i * 7919) % 1000 + 1;
            dir.write("in/" + std::to_string(id) + ".htm", postPage("t" + std::to_string(id)));
        }
        std::vector<std::vector<std::string>> orders;
        for (const bool batched : {true, false}) {
            QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "posts");
            QUILLERY_EXECUTE(db, "create table plain (" + columns.toStdString() + ")");
            ImportSettings settings = pageSettings(db->connectionString(), in, "plain");
            settings.username.get = settings.reply.get = settings.createtime.get = false;
            ImportTuning tuning;
            tuning.batched = batched;
            RecordingSink sink;
            CAdoManager ado;
            ImportRun run(nullptr, sink);
            run.SetTuning(tuning);
            QCOMPARE(run.RunImport(settings, ado), ImportOutcome::Completed);
            ado.CloseAdoConnection();
            QCOMPARE(run.Progress().insertedFiles.load(), 40L);
            orders.push_back(storedOrder(db->connectionString(), "plain"));
        }
        QCOMPARE(orders[0].size(), std::size_t(40));
        QCOMPARE(orders[0], orders[1]);
    }

    // Several reading threads hand the writer the files in the order of the walk: the
    // same status lines, messages and rows as one thread and as no pipeline at all, over
    // folders of many chunks with files that fail among them.
    void severalReadersKeepTheWalkOrder()
    {
        TempAppDir dir;
        for (int folder = 0; folder < 4; ++folder) {
            for (int i = 0; i < 300; ++i) {
                const int id = folder * 1000 + (i * 7919) % 997 + 1;
                const std::string name =
                        i % 37 == 5 ? "x" + std::to_string(id) : std::to_string(id);
                dir.write("in/" + std::to_string(folder) + "/" + name + ".htm",
                          postPage("t" + std::to_string(id)));
            }
        }
        struct Result
        {
            std::vector<std::string> statuses, lines, rows;
        };
        std::vector<Result> results;
        for (const int readers : {0, 1, 4}) {
            QUILLERY_TEST_DATABASE(db, TestEngine::SQLite, "posts");
            QUILLERY_EXECUTE(db,
                             "create table plain (topicid INTEGER, title TEXT, roomid INTEGER)");
            ImportSettings settings =
                    pageSettings(db->connectionString(), dir.file("in") + "/", "plain");
            settings.username.get = settings.reply.get = settings.createtime.get = false;
            ImportTuning tuning;
            tuning.pipelined = readers > 0;
            tuning.readers = readers;
            tuning.maxBatchRows = 100; // batches end while readers are ahead
            RecordingSink sink;
            CAdoManager ado;
            ImportRun run(nullptr, sink);
            run.SetTuning(tuning);
            QCOMPARE(run.RunImport(settings, ado), ImportOutcome::Completed);
            ado.CloseAdoConnection();
            results.push_back(
                    {sink.statuses, sink.lines, storedOrder(db->connectionString(), "plain")});
        }
        QCOMPARE(results[0].statuses.size(), std::size_t(1200));
        QVERIFY(results[0].lines.size() > 30);
        QCOMPARE(results[0].rows.size(), std::size_t(1200 - (results[0].lines.size() - 1)));
        for (const Result &r : {results[1], results[2]}) {
            QCOMPARE(r.statuses, results[0].statuses);
            QCOMPARE(r.lines, results[0].lines);
            QCOMPARE(r.rows, results[0].rows);
        }
    }
};

QUILLERY_REGISTER_TEST(TestImportOrder)
#include "tst_ImportOrder.moc"
