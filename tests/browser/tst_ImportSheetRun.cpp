#include "ImportSheetFixture.h"
#include "MessageBoxRecorder.h"
#include "TestRegistry.h"

#include "browser/db/CAdoManager.h"
#include "browser/db/EmbeddedDatabase.h"
#include "browser/import/CImportDataBase.h"
#include "browser/import/CImportDataList.h"
#include "browser/import/ImportEvents.h"
#include "browser/import/ImportRelay.h"
#include "browser/import/SheetFields.h"
#include "common/CMessageListBox.h"
#include "common/MessageLineModel.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include <thread>

namespace {
QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

QStringList lines(const CImportDataSheet &sheet)
{
    QStringList texts;
    const CMessageListBox *list = sheet.basePage()->messageList();
    for (int i = 0; i < list->count(); ++i)
        texts << list->text(i);
    return texts;
}

// Posts named 1.htm ... n.htm below Import/, each with its roomid and title.
void writePosts(const TempAppDir &dir, int count, const std::string &folder = "Import/")
{
    for (int i = 1; i <= count; ++i)
        dir.write(folder + std::to_string(i) + ".htm",
                  gbk("<html><TITLE>帖子") + std::to_string(i) + "</TITLE><roomid>12</roomid><p>"
                          + std::string(200, 'x') + "</p></html>");
}

// Page values for those posts: roomid and title between markers, topicid from the name.
void fillRunFields(CImportDataSheet &sheet, const TempAppDir &dir)
{
    sheet.basePage()->SetImportFolder(dir.path() + "/Import/");
    sheet.basePage()->SetPathCheck(false);
    CImportDataList *list = sheet.listPage();
    list->tableField()->setText(QStringLiteral("TA"));
    list->roomidRadio(0)->click();
    list->roomidStartField()->setPlainText(QStringLiteral("<ROOMID>"));
    list->roomidEndField()->setPlainText(QStringLiteral("</roomid>"));
    list->topicidRadio(0)->click();
    list->titleRadio(0)->click();
    list->titleStartField()->setPlainText(QStringLiteral("<TITLE>"));
    list->titleEndField()->setPlainText(QStringLiteral("</title>"));
}

struct RunFixture : SheetFixture
{
    RunFixture()
    {
        std::string why;
        const long created = EnsureEmbeddedDatabase(rooms.GetConnectionString(), {"TA", "TB"}, why);
        if (created != 0)
            qWarning("%s", why.c_str());
        sheet = makeSheet();
        sheet->InitialiseSheet();
        fillRunFields(*sheet, dir);
        sheet->show();
    }
    std::unique_ptr<CImportDataSheet> sheet;
};

bool waitIdle(CImportDataSheet &sheet, int milliseconds = 30000)
{
    QElapsedTimer clock;
    clock.start();
    while (sheet.HasWorker() && clock.elapsed() < milliseconds)
        QTest::qWait(20);
    QTest::qWait(150); // the last reports
    return !sheet.HasWorker();
}
} // namespace

class TestImportSheetRun : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void connectionFailureSaysWhy()
    {
        RunFixture fixture;
        MessageBoxRecorder recorder;
        CImportDataSheet &sheet = *fixture.sheet;
        writePosts(fixture.dir, 1);
        sheet.basePage()->connectionField()->setPlainText(
                QStringLiteral(
                        "Provider=PostgreSQL;Host=%1/nosocket;Port=1;User ID=x;Password=secret")
                        .arg(fixture.dir.qtPath()));
        sheet.applyButton()->click();
        QVERIFY(waitIdle(sheet));
        QTRY_COMPARE(recorder.calls().size(), 1);
        sheet.listPage()->findUniqueButton()->click();
        QTRY_COMPARE(recorder.calls().size(), 2);
        QVERIFY(recorder.calls()[0].text.startsWith(
                u("导入数据打开数据库连接错误,请检查连接字符串填写是否正确?连接字符串如下:")));
        QCOMPARE(recorder.calls()[1].text, u("打开数据库连接错误,请检查连接字符串填写是否正确?"));
        for (const UiSeam::MessageBoxCall &call : recorder.calls()) {
            QVERIFY2(call.details.contains(QStringLiteral("No such file or directory")),
                     qPrintable(call.details));
            QVERIFY(call.details.contains(QStringLiteral("Password=***")));
            QVERIFY(!call.details.contains(QStringLiteral("secret")));
            QVERIFY(!call.text.contains(QStringLiteral("secret")));
        }
    }

    void runToItsSummary()
    {
        RunFixture fixture;
        MessageBoxRecorder recorder;
        CImportDataSheet &sheet = *fixture.sheet;
        writePosts(fixture.dir, 5);
        fixture.dir.write("Import/123a.htm", "<TITLE>x</TITLE><roomid>12</roomid>");
        // An empty table: "搜索唯一值" gives 1.
        sheet.listPage()->findUniqueButton()->click();
        QCOMPARE(sheet.listPage()->autogrowField()->text(), u("1"));
        sheet.listPage()->autogrowField()->setText(QStringLiteral("10000"));
        int runStarting = 0;
        sheet.onRunStarting = [&runStarting] { ++runStarting; };

        sheet.ShowPage(sheet.listPage());
        sheet.applyButton()->click();
        QCOMPARE(sheet.tabs()->currentWidget(), sheet.basePage());
        QCOMPARE(runStarting, 1);
        QVERIFY(waitIdle(sheet));
        QCOMPARE(lines(sheet),
                 (QStringList {u("文件名为< 123a >不是数字的没法入库,忽略"),
                               u("插入完成: 总文件=6成功插入=5")}));
        QCOMPARE(sheet.applyButton()->text(), u("开始导入"));
        QVERIFY(sheet.startShown());
        QVERIFY(recorder.calls().isEmpty());
        // The status line keeps the last path; the fields show what the run used.
        QCOMPARE(sheet.basePage()->statusLine()->text(),
                 fixture.dir.qtPath() + QStringLiteral("/Import/5.htm"));
        QVERIFY(sheet.basePage()->progressLine()->text().startsWith(
                u("文件: 6  已插入: 5  速度: ")));
        QCOMPARE(sheet.listPage()->roomidStartField()->toPlainText(), u("<roomid>"));
        QCOMPARE(sheet.listPage()->titleStartField()->toPlainText(), u("<title>"));
        QVERIFY(!sheet.basePage()->ConnectionString().empty());
        QVERIFY(sheet.basePage()->ConnectionString().find("|APP_PATH|") == std::string::npos);
        QCOMPARE(sheet.listPage()->autogrowField()->text(), u("10005"));

        sheet.listPage()->findUniqueButton()->click();
        QCOMPARE(sheet.listPage()->autogrowField()->text(), u("6"));
        // The same files again: each one is a duplicate now.
        sheet.applyButton()->click();
        QVERIFY(waitIdle(sheet));
        QCOMPARE(lines(sheet).constLast(), u("插入完成: 总文件=6成功插入=0"));
        QVERIFY(lines(sheet).contains(
                u("文件<") + fixture.dir.qtPath()
                + u("/Import/3.htm>已经存在(可能是topicid或者title),忽略该文件")));
        QCOMPARE(sheet.runsStarted(), 2);
        sheet.okButton()->click();
        QVERIFY(!sheet.isVisible());
    }

    void abortedRunLinesInOrder()
    {
        RunFixture fixture;
        CImportDataSheet &sheet = *fixture.sheet;
        writePosts(fixture.dir, 400);
        sheet.relay().SetStatusDelayForTesting(std::chrono::milliseconds(5));
        sheet.applyButton()->click();
        QVERIFY(sheet.HasWorker());
        QCOMPARE(sheet.applyButton()->text(), u("中止导入"));
        QTest::qWait(300);
        QElapsedTimer clock;
        clock.start();
        sheet.applyButton()->click();
        const qint64 took = clock.elapsed();
        QVERIFY2(took < 1000, qPrintable(QString::number(took)));
        QVERIFY(!sheet.HasWorker());
        QCOMPARE(sheet.applyButton()->text(), u("开始导入"));
        QTest::qWait(300);
        const QStringList texts = lines(sheet);
        QCOMPARE(texts.size(), 3);
        QCOMPARE(texts[0], u("正在中止,请稍候..."));
        QCOMPARE(texts[1], u("中止线程运行成功完成(WAIT_OBJECT_0)"));
        QVERIFY2(texts[2].startsWith(u("插入完成: 总文件=")), qPrintable(texts[2]));
        QVERIFY(!texts[2].contains(u("总文件=400")));
    }

    void abortTimesOutOnASlowFileAndTheSheetStaysOpen()
    {
        RunFixture fixture;
        MessageBoxRecorder recorder;
        CImportDataSheet &sheet = *fixture.sheet;
        writePosts(fixture.dir, 3);
        sheet.relay().SetStatusDelayForTesting(std::chrono::milliseconds(1500));
        sheet.SetAbortWaitForTesting(std::chrono::milliseconds(200));
        sheet.applyButton()->click();
        QTest::qWait(300);
        sheet.applyButton()->click(); // abort: the worker is inside its slow file
        QCOMPARE(lines(sheet), (QStringList {u("正在中止,请稍候..."), u("超时,中止失败")}));
        QCOMPARE(sheet.applyButton()->text(), u("开始导入"));
        QVERIFY(sheet.HasWorker());
        // Stopping: a new start sees the worker and stays idle.
        sheet.applyButton()->click();
        QCOMPARE(sheet.applyButton()->text(), u("开始导入"));
        QVERIFY(sheet.startShown());
        // Neither OK nor the close box closes the sheet while the worker lives.
        sheet.okButton()->click();
        QVERIFY(!sheet.close());
        QVERIFY(sheet.isVisible());
        QCOMPARE(recorder.texts(),
                 (QStringList {u("导入程序正在运行，请先中止导入"),
                               u("导入程序正在运行,请先中止导入")}));
        // "搜索唯一值" shares the database object with the run: refused.
        sheet.listPage()->findUniqueButton()->click();
        QCOMPARE(recorder.calls().size(), 3);
        QVERIFY(recorder.lastText().startsWith(u("导入程序正在运行")));
        QCOMPARE(sheet.listPage()->autogrowField()->text(), u("10000"));
        QVERIFY(waitIdle(sheet));
        QCOMPARE(lines(sheet).constLast(), u("插入完成: 总文件=1成功插入=1"));
        QVERIFY(sheet.close());
    }

    void closingTheProgramDuringARunStopsAndJoins()
    {
        RunFixture fixture;
        writePosts(fixture.dir, 50);
        fixture.sheet->relay().SetStatusDelayForTesting(std::chrono::milliseconds(100));
        fixture.sheet->applyButton()->click();
        QTest::qWait(250);
        QElapsedTimer clock;
        clock.start();
        fixture.sheet.reset(); // what quitting Kestrel does to an open sheet
        QVERIFY(clock.elapsed() < 1000);
        QCoreApplication::sendPostedEvents();
    }

    void runWithoutTableShowsItsBox()
    {
        RunFixture fixture;
        MessageBoxRecorder recorder;
        CImportDataSheet &sheet = *fixture.sheet;
        sheet.listPage()->tableField()->setText(QStringLiteral("missing_table"));
        sheet.applyButton()->click();
        QVERIFY(waitIdle(sheet));
        QCOMPARE(recorder.calls().size(), 1);
        QVERIFY(recorder.lastText().startsWith(u("获取表missing_table属性发生错误[")));
        QCOMPARE(recorder.calls().constFirst().icon, QMessageBox::Critical);
        QVERIFY(lines(sheet).isEmpty());
        QCOMPARE(sheet.applyButton()->text(), u("开始导入"));
    }

    // The connection field is expanded once: an unknown placeholder gets its box, "||"
    // stays one bar. "搜索唯一值" above 2147483647 shows the number itself, and a run
    // numbers on from it.
    void connectionExpandedOnceAndLargeNextTopicid()
    {
        RunFixture fixture;
        MessageBoxRecorder recorder;
        CImportDataSheet &sheet = *fixture.sheet;
        const std::string database = fixture.dir.path() + "/Data/a|b.db";
        std::string why;
        QCOMPARE(EnsureEmbeddedDatabase("Provider=SQLite;Data Source=" + database, {"TA"}, why),
                 0L);
        {
            CAdoManager ado;
            QCOMPARE(ado.OpenAdoConnection("Provider=SQLite;Data Source=" + database), 0L);
            QCOMPARE(
                    ado.ExecuteSql("insert into TA(topicid,title,roomid) values(3000000000,'x',12)",
                                   CAdoManager::CommandText),
                    0L);
        }
        writePosts(fixture.dir, 2);
        sheet.basePage()->SetConnectionString("Provider=SQLite;Data Source=" + fixture.dir.path()
                                              + "/Data/a||b.db|NOSUCH|");
        sheet.listPage()->topicidRadio(1)->click();
        sheet.listPage()->findUniqueButton()->click();
        QCOMPARE(sheet.listPage()->autogrowField()->text(), u("3000000001"));
        sheet.applyButton()->click();
        QVERIFY(waitIdle(sheet));
        QCOMPARE(lines(sheet), QStringList {u("插入完成: 总文件=2成功插入=2")});
        QCOMPARE(recorder.calls().size(), 1);
        QCOMPARE(recorder.lastText(), QStringLiteral("|NOSUCH|"));
        QCOMPARE(sheet.listPage()->autogrowField()->text(), u("3000000003"));
        QCOMPARE(sheet.basePage()->ConnectionString(), "Provider=SQLite;Data Source=" + database);
    }

    void aMillionLinesArriveInOrderInFewBlocks()
    {
        SheetFixture fixture;
        auto sheet = fixture.makeSheet();
        sheet->show();
        int messages = 0;
        struct Counter : QObject
        {
            int *count;
            bool eventFilter(QObject *, QEvent *event) override
            {
                if (event->type() == WM_IMPORT_MESSAGE)
                    ++*count;
                return false;
            }
        } counter;
        counter.count = &messages;
        sheet->installEventFilter(&counter);
        constexpr int Lines = 1000000;
        std::size_t textBytes = 0;
        for (int i = 0; i < Lines; ++i)
            textBytes += std::string("line ").size() + std::to_string(i).size();
        std::thread worker([&] {
            for (int i = 0; i < Lines; ++i) {
                sheet->relay().ImportStatus("path " + std::to_string(i));
                sheet->relay().ImportMessage("line " + std::to_string(i));
            }
        });
        CMessageListBox *list = sheet->basePage()->messageList();
        QTRY_COMPARE_WITH_TIMEOUT(list->count(), Lines, 120000);
        worker.join();
        QTest::qWait(400);
        for (int i : {0, 1, 4711, 500000, Lines - 1})
            QCOMPARE(list->text(i), QStringLiteral("line %1").arg(i));
        QCOMPARE(sheet->basePage()->statusLine()->text(), QStringLiteral("path %1").arg(Lines - 1));
        QVERIFY2(messages < 5000, qPrintable(QString::number(messages)));
        // Little beyond the texts themselves: a small index entry per line.
        QVERIFY(list->lines()->ByteCount() < textBytes + std::size_t(Lines) * 32 + (2 << 20));
        list->scrollToBottom();
        QTest::qWait(50);
        sheet->basePage()->clearButton()->click();
        QCOMPARE(list->count(), 0);
    }

    void longLinesAreCutBetweenCharacters()
    {
        SheetFixture fixture;
        auto sheet = fixture.makeSheet();
        const std::string chinese = gbk("中");
        std::string text = "ab";
        while (text.size() < 5000)
            text += chinese;
        sheet->relay().ImportMessage(text);
        QCoreApplication::sendPostedEvents(sheet.get());
        const std::string_view shown = sheet->basePage()->messageList()->MessageAt(0);
        // 4095 bytes would end inside a character: the line stops before it.
        QCOMPARE(shown.size(), std::size_t(4094));
        QCOMPARE(std::string(shown), text.substr(0, 4094));
    }
};

QUILLERY_REGISTER_TEST(TestImportSheetRun)
#include "tst_ImportSheetRun.moc"
