#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/db/EmbeddedDatabase.h"
#include "browser/import/CImportDataBase.h"
#include "browser/import/CImportDataList.h"
#include "browser/import/CImportDataSheet.h"
#include "browser/import/ImportRelay.h"
#include "browser/rooms/RoomModel.h"
#include "common/CMessageListBox.h"
#include "common/FileSystem.h"
#include "sample/SampleArchive.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTabWidget>

// Pictures of the import sheet with the shipped presets and the sample archive, for a
// person to look at. Runs only when QUILLERY_SCREENSHOTS names a folder for them.
class TestImportScreenshots : public QObject
{
    Q_OBJECT
public:
    Q_INVOKABLE QString skipReason() const
    {
        return qEnvironmentVariableIsEmpty("QUILLERY_SCREENSHOTS")
                ? QStringLiteral("set QUILLERY_SCREENSHOTS to a folder to take the pictures")
                : QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        folder_ = qEnvironmentVariable("QUILLERY_SCREENSHOTS");
        QDir().mkpath(folder_);
    }

    void sheetOnTheSampleArchive()
    {
        TempAppDir dir;
        for (const char *name : {"InitTree.xml", "XmlListInfo.xml"})
            QVERIFY(QFile::copy(QStringLiteral(QUILLERY_SOURCE_DIR "/Configs/")
                                        + QLatin1String(name),
                                dir.qtPath() + QStringLiteral("/Configs/") + QLatin1String(name)));
        RoomModel rooms;
        QVERIFY(rooms.LoadTreeConfig(dir.file("Configs/InitTree.xml")));
        std::string why;
        QVERIFY(WriteSampleArchive(MakeSamplePosts(rooms), why) > 0);
        std::vector<std::string> names, tables;
        rooms.ListRootRooms(names, tables, nullptr);
        QCOMPARE(EnsureEmbeddedDatabase(rooms.GetConnectionString(), tables, why), 0L);

        QMainWindow window;
        window.resize(900, 700);
        CImportDataSheet sheet(&window);
        sheet.SetImportSource(rooms.GetConnectionString(), &rooms);
        QVERIFY(sheet.InitialiseSheet());
        sheet.resize(820, 760);
        sheet.move(0, 0);
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        // The XML posts of the sample archive, into the first top-level room's table.
        Q_EMIT sheet.listPage()->presetList()->activated(0);
        sheet.listPage()->presetList()->setCurrentIndex(0);
        sheet.listPage()->tableField()->setText(QString::fromStdString(tables.front()));
        sheet.basePage()->SetImportFolder(dir.file("sample/" + tables.front() + "/xml/"));
        for (int page = 0; page < 3; ++page) {
            sheet.tabs()->setCurrentIndex(page);
            QTest::qWait(300);
            shoot(sheet, QStringLiteral("import-page%1.png").arg(page + 1));
        }
        sheet.applyButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(!sheet.HasWorker(), 60000);
        QTest::qWait(600);
        shoot(sheet, QStringLiteral("import-after-run.png"));

        // An aborted run over the same files, slowed so that the abort lands mid-way.
        sheet.basePage()->messageList()->ClearMessages();
        sheet.basePage()->SetPathCheck(false);
        sheet.listPage()->tableField()->setText(QString::fromStdString(tables.back()));
        sheet.relay().SetStatusDelayForTesting(std::chrono::milliseconds(20));
        sheet.applyButton()->click();
        QTest::qWait(1500);
        sheet.applyButton()->click();
        QTest::qWait(600);
        sheet.basePage()->messageList()->scrollToBottom();
        shoot(sheet, QStringLiteral("import-aborted.png"));
    }

private:
    void shoot(QWidget &window, const QString &name)
    {
        QVERIFY(window.grab().save(folder_ + QLatin1Char('/') + name));
    }

    QString folder_;
};

QUILLERY_REGISTER_TEST(TestImportScreenshots)
#include "tst_ImportScreenshots.moc"
