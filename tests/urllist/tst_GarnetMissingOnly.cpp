#include "MessageBoxRecorder.h"
#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/db/CAdoManager.h"
#include "browser/db/EmbeddedDatabase.h"
#include "urllist/CGarnetDlg.h"
#include "urllist/UrlListGeneration.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QSet>
#include <QTemporaryDir>

namespace {

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

const char *const Config = R"(<?xml version="1.0" encoding="GBK"?>
<r>
  <数据库连接字符串>Provider=SQLite;Data Source=|APP_PATH|\Data\Lumora.db</数据库连接字符串>
  <帖子类型 TABLE="TA" ROOMID="1">甲区</帖子类型>
</r>
)";

// Saves a picture of the widget; says what is wrong with it, or nothing.
QString shot(QWidget &widget, const QString &path, QImage &image)
{
    if (!widget.grab().save(path))
        return path + QStringLiteral(": not written");
    image = QImage(path);
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2)
            colours.insert(image.pixel(x, y));
    }
    return colours.size() < 8 ? path + QStringLiteral(": nearly blank") : QString();
}

} // namespace

// The check box that keeps the posts the archive holds out of the list.
class TestGarnetMissingOnly : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<TempAppDir>();
        dir_->write("Configs/InitTree.xml", gbk(Config));
        std::string why;
        const std::string connection =
                "Provider=SQLite;Data Source=" + dir_->file("Data/Lumora.db");
        QCOMPARE(EnsureEmbeddedDatabase(connection, {"TA"}, why), 0L);
        CAdoManager ado;
        QCOMPARE(ado.OpenAdoConnection(connection), 0L);
        for (const char *sql : {"INSERT INTO TA (topicid) VALUES (1317808)",
                                "INSERT INTO TA (topicid) VALUES (1317809)",
                                "INSERT INTO TA (topicid) VALUES (1318000)"})
            QCOMPARE(ado.ExecuteSql(sql, CAdoManager::CommandText), 0L);
    }
    void cleanup() { dir_.reset(); }

    void boxAndConfigField()
    {
        CGarnetDlg dlg;
        QCOMPARE(dlg.missingOnlyBox()->text(), u("只列出档案中没有的帖子"));
        QVERIFY(!dlg.missingOnlyBox()->isChecked());
        QCOMPARE(dlg.archiveConfigEdit()->text(),
                 dir_->qtPath() + QStringLiteral("/Configs/InitTree.xml"));
        QVERIFY(!dlg.archiveConfigEdit()->isEnabled());
        const QLabel *caption = nullptr;
        for (const QLabel *label : dlg.findChildren<QLabel *>()) {
            if (label->buddy() == dlg.archiveConfigEdit())
                caption = label;
        }
        QVERIFY(caption);
        QCOMPARE(caption->text(), u("档案的配置文件:"));
        dlg.missingOnlyBox()->setChecked(true);
        QVERIFY(dlg.archiveConfigEdit()->isEnabled());
    }

    // Unchecked, the list is the one the dialog wrote before the box existed, byte for
    // byte, whatever the archive holds; checked, the IDs it holds are left out and counted.
    void uncheckedAsBeforeCheckedLeavesOut()
    {
        QString folder = qEnvironmentVariable("QUILLERY_SHOTS");
        QTemporaryDir scratch;
        if (folder.isEmpty())
            folder = scratch.path();
        QDir().mkpath(folder);

        MessageBoxRecorder recorder;
        CGarnetDlg dlg;
        dlg.formatList()->setCurrentIndex(1);
        dlg.firstIdEdit()->setText(QStringLiteral("1317807"));
        dlg.lastIdEdit()->setText(QStringLiteral("1318001"));
        const QString path = dir_->qtPath() + QStringLiteral("/out.lst");
        dlg.outputPathEdit()->setText(path);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QImage unchecked, checked;
        QCOMPARE(shot(dlg, folder + QStringLiteral("/garnet-missing-unchecked.png"), unchecked),
                 QString());
        dlg.GenerateUrlList();
        QCOMPARE(recorder.texts(), QStringList {u("2003年及以后的xml帖子产生完毕,共195个")});
        std::string expected;
        for (int id = 1317807; id <= 1318001; ++id) {
            const std::string group = id % 1000 == 0 ? std::to_string(id - 1000).substr(0, 4)
                                                     : std::to_string(id).substr(0, 4);
            expected += "https://www.lumora.example/Expert/topic/" + group + "/"
                    + std::to_string(id) + ".xml\r\n";
        }
        QCOMPARE(readBytes(path), expected);

        recorder.clear();
        dlg.missingOnlyBox()->setChecked(true);
        QCOMPARE(shot(dlg, folder + QStringLiteral("/garnet-missing-checked.png"), checked),
                 QString());
        QVERIFY(checked != unchecked);
        dlg.GenerateUrlList();
        QCOMPARE(recorder.texts(),
                 QStringList {u("2003年及以后的xml帖子产生完毕,共192个,档案中已有的 3 个未列出")});
        std::string left = expected;
        for (const char *held : {"1317/1317808", "1317/1317809", "1317/1318000"}) {
            const std::string line =
                    "https://www.lumora.example/Expert/topic/" + std::string(held) + ".xml\r\n";
            left.erase(left.find(line), line.size());
        }
        QCOMPARE(readBytes(path), left);

        // An archive that cannot be asked is told, and the list stays as it was.
        recorder.clear();
        dlg.archiveConfigEdit()->setText(dir_->qtPath() + QStringLiteral("/Configs/None.xml"));
        dlg.GenerateUrlList();
        QCOMPARE(recorder.calls().size(), 1);
        QCOMPARE(recorder.calls().first().icon, QMessageBox::Warning);
        QVERIFY(recorder.lastText().startsWith(u("无法读取档案的配置文件")));
        QCOMPARE(readBytes(path), left);
    }

private:
    std::unique_ptr<TempAppDir> dir_;
};

QUILLERY_REGISTER_TEST(TestGarnetMissingOnly)
#include "tst_GarnetMissingOnly.moc"
