#include "MessageBoxRecorder.h"
#include "ModalWindows.h"
#include "TestRegistry.h"
#include "TestSupport.h"

#include "common/CAboutDialog.h"
#include "urllist/CGarnetDlg.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <optional>

namespace {
QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}
const QString Server = QStringLiteral("https://www.lumora.example");
} // namespace

class TestGarnetDlg : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { UiSeam::SetProgramCaption(QStringLiteral("Garnet")); }
    void init() { dir_ = std::make_unique<TempAppDir>(); }
    void cleanup()
    {
        UiSeam::SetModalHandler({});
        dir_.reset();
    }

    void defaults()
    {
        CGarnetDlg dlg;
        QCOMPARE(dlg.windowTitle(), u("Lumora帖子URL列表生成器"));
        QVERIFY(!dlg.windowIcon().isNull());
        QVERIFY(!dlg.windowIcon().pixmap(32, 32).isNull()); // the SVG renders
        const auto frames = dlg.findChildren<QGroupBox *>();
        QCOMPARE(frames.size(), 1);
        QCOMPARE(frames.first()->title(), u("产生帖子  --  仅仅适用于Lumora网站"));

        const QList<QPair<const char *, QWidget *>> rows {
                {"产生的帖子列表文件输出路径:", dlg.outputPathEdit()},
                {"行格式:", dlg.formatList()},
                {"产生的格式:", dlg.templateEdit()},
                {"帖子ID的开始值:", dlg.firstIdEdit()},
                {"帖子ID的结束值:", dlg.lastIdEdit()},
        };
        for (const auto &[label, field] : rows) {
            const QLabel *caption = labelFor(dlg, field);
            QVERIFY2(caption, label);
            QCOMPARE(caption->text(), u(label));
        }

        QCOMPARE(dlg.outputPathEdit()->text(), dir_->qtPath() + QStringLiteral("/DownList.lst"));
        QCOMPARE(dlg.formatList()->count(), 2);
        QVERIFY(!dlg.formatList()->isEditable());
        QCOMPARE(dlg.formatList()->itemText(0), u("2003年以前的htm帖子"));
        QCOMPARE(dlg.formatList()->itemText(1), u("2003年及以后的xml帖子"));
        QCOMPARE(dlg.formatList()->currentIndex(), 0);
        QCOMPARE(dlg.templateEdit()->text(),
                 Server + QStringLiteral("/expert/buildtopic1.asp?id=|ID|"));
        QCOMPARE(dlg.firstIdEdit()->text(), QStringLiteral("1"));
        QCOMPARE(dlg.lastIdEdit()->text(), QStringLiteral("10000"));

        QCOMPARE(dlg.generateButton()->text(), u("生成帖子列表文件"));
        for (const QPushButton *button : dlg.findChildren<QPushButton *>()) {
            QVERIFY(!button->isDefault());
            QVERIFY(!button->autoDefault());
        }
        QStringList entries;
        for (const QAction *action : dlg.systemMenu()->actions())
            entries << (action->isSeparator() ? QStringLiteral("---") : action->text());
        QCOMPARE(entries.mid(entries.size() - 2),
                 (QStringList {QStringLiteral("---"), u("关于 Garnet(&A)...")}));
        QCOMPARE(dlg.menuButton()->menu(), dlg.systemMenu());
    }

    void idFieldsTakeDigitsOnly()
    {
        CGarnetDlg dlg;
        QLineEdit *first = dlg.firstIdEdit();
        first->clear();
        QTest::keyClicks(first, QStringLiteral("1a-2 3"));
        QCOMPARE(first->text(), QStringLiteral("123"));
        first->selectAll();
        first->insert(QStringLiteral("x9")); // a paste of non-digits is refused whole
        QCOMPARE(first->text(), QStringLiteral("123"));
    }

    void formatSwitchReplacesTemplateAndRange()
    {
        CGarnetDlg dlg;
        dlg.templateEdit()->setText(QStringLiteral("typed |ID|"));
        dlg.firstIdEdit()->setText(QStringLiteral("5"));
        dlg.lastIdEdit()->setText(QStringLiteral("6"));
        dlg.formatList()->setCurrentIndex(1);
        QCOMPARE(dlg.templateEdit()->text(),
                 Server + QStringLiteral("/Expert/topic/|ID4|/|ID|.xml"));
        QCOMPARE(dlg.firstIdEdit()->text(), QStringLiteral("1317807"));
        QCOMPARE(dlg.lastIdEdit()->text(), QStringLiteral("1327806"));
        dlg.templateEdit()->setText(QStringLiteral("typed again"));
        dlg.formatList()->setCurrentIndex(0);
        QCOMPARE(dlg.templateEdit()->text(),
                 Server + QStringLiteral("/expert/buildtopic1.asp?id=|ID|"));
        QCOMPARE(dlg.firstIdEdit()->text(), QStringLiteral("1"));
        QCOMPARE(dlg.lastIdEdit()->text(), QStringLiteral("10000"));
    }

    void prompts_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::addColumn<QString>("prompt");
        QTest::addColumn<QString>("focused"); // the field that gets the focus back
        const QString range = u("“请填入一个在1和2147483646之间的整数。”");
        QTest::newRow("empty first") << QString() << QStringLiteral("3") << u("请键入一个整数。")
                                     << QStringLiteral("firstId");
        QTest::newRow("empty last") << QStringLiteral("3") << QString() << u("请键入一个整数。")
                                    << QStringLiteral("lastId");
        QTest::newRow("zero") << QStringLiteral("0") << QStringLiteral("3") << range
                              << QStringLiteral("firstId");
        QTest::newRow("int max") << QStringLiteral("1") << QStringLiteral("2147483647") << range
                                 << QStringLiteral("lastId");
        QTest::newRow("reversed") << QStringLiteral("3") << QStringLiteral("2")
                                  << u("开始值必须比结束值小") << QString();
    }

    void prompts()
    {
        QFETCH(QString, first);
        QFETCH(QString, last);
        QFETCH(QString, prompt);
        QFETCH(QString, focused);
        MessageBoxRecorder recorder;
        CGarnetDlg dlg;
        QVERIFY(showActive(dlg));
        dlg.outputPathEdit()->setText(dir_->qtPath() + QStringLiteral("/out.lst"));
        dlg.firstIdEdit()->setText(first);
        dlg.lastIdEdit()->setText(last);
        dlg.generateButton()->setFocus();
        QTest::mouseClick(dlg.generateButton(), Qt::LeftButton);
        QCOMPARE(recorder.texts(), QStringList {prompt});
        QCOMPARE(recorder.calls().first().caption, QStringLiteral("Garnet"));
        QCOMPARE(recorder.calls().first().icon, QMessageBox::Warning);
        if (!focused.isEmpty())
            QCOMPARE(QApplication::focusWidget()->objectName(), focused);
        QVERIFY(!QFileInfo::exists(dir_->qtPath() + QStringLiteral("/out.lst")));
    }

    void generateWritesAndReports()
    {
        MessageBoxRecorder recorder;
        CGarnetDlg dlg;
        const QString path = dir_->qtPath() + QString::fromUtf8("/列表/out.lst");
        QVERIFY(QDir(dir_->qtPath()).mkdir(QString::fromUtf8("列表")));
        dlg.outputPathEdit()->setText(path);
        dlg.lastIdEdit()->setText(QStringLiteral("3"));
        dlg.GenerateUrlList();
        QCOMPARE(recorder.texts(), QStringList {u("2003年以前的htm帖子生成完成(共3个)")});
        QCOMPARE(recorder.calls().first().icon, QMessageBox::Information);
        const std::string prefix = Server.toStdString() + "/expert/buildtopic1.asp?id=";
        QCOMPARE(readBytes(path), prefix + "1\r\n" + prefix + "2\r\n" + prefix + "3\r\n");

        recorder.clear();
        dlg.formatList()->setCurrentIndex(1);
        dlg.firstIdEdit()->setText(QStringLiteral("1317806"));
        dlg.GenerateUrlList();
        QCOMPARE(recorder.texts(), QStringList {u("XML文件的的帖子ID的开始值必须大于1317806")});
        QCOMPARE(readBytes(path), prefix + "1\r\n" + prefix + "2\r\n" + prefix + "3\r\n");
    }

    void unwritablePathIsReported()
    {
        MessageBoxRecorder recorder;
        CGarnetDlg dlg;
        // A folder where the list should go: the reason is the system's, in Chinese.
        const QString path = dir_->qtPath() + QStringLiteral("/taken");
        QVERIFY(QDir(dir_->qtPath()).mkdir(QStringLiteral("taken")));
        dlg.outputPathEdit()->setText(path);
        dlg.lastIdEdit()->setText(QStringLiteral("3"));
        dlg.GenerateUrlList();
        QCOMPARE(recorder.calls().size(), 1);
        QVERIFY2(recorder.lastText().contains(path), qPrintable(recorder.lastText()));
        QVERIFY2(recorder.lastText().endsWith(u("原因: 是一个目录 (errno 21)")),
                 qPrintable(recorder.lastText()));
        QCOMPARE(recorder.calls().first().icon, QMessageBox::Warning);
    }

    void missingOutputFolderIsOfferedThenMade()
    {
        MessageBoxRecorder recorder;
        CGarnetDlg dlg;
        const QString folder = dir_->qtPath() + QString::fromUtf8("/新/列表");
        const QString path = folder + QStringLiteral("/out.lst");
        dlg.outputPathEdit()->setText(path);
        dlg.lastIdEdit()->setText(QStringLiteral("2"));
        // No: nothing is made, nothing is written.
        recorder.queueAnswer(QMessageBox::No);
        dlg.GenerateUrlList();
        QCOMPARE(recorder.texts(),
                 QStringList {u("输出目录不存在:\n") + folder + u("\n要创建这个目录吗?")});
        QCOMPARE(recorder.calls().first().icon, QMessageBox::Question);
        QCOMPARE(recorder.calls().first().buttons, QMessageBox::Yes | QMessageBox::No);
        QVERIFY(!QFileInfo::exists(dir_->qtPath() + QString::fromUtf8("/新")));
        // A range the format refuses is told before anything is asked.
        recorder.clear();
        dlg.lastIdEdit()->setText(QStringLiteral("1317807"));
        dlg.GenerateUrlList();
        QCOMPARE(recorder.texts(), QStringList {u("HTM文件的帖子ID的结束值必须小于1317806")});
        // Yes: the folders are made and the list is written.
        recorder.clear();
        dlg.lastIdEdit()->setText(QStringLiteral("2"));
        recorder.queueAnswer(QMessageBox::Yes);
        dlg.GenerateUrlList();
        QCOMPARE(recorder.calls().size(), 2);
        QCOMPARE(recorder.lastText(), u("2003年以前的htm帖子生成完成(共2个)"));
        QVERIFY(QFileInfo(path).isFile());
        // A file in the way of the folder: the reason is shown and nothing is written.
        recorder.clear();
        writeBytes(dir_->qtPath() + QStringLiteral("/plain"), "x");
        dlg.outputPathEdit()->setText(dir_->qtPath() + QStringLiteral("/plain/sub/out.lst"));
        recorder.queueAnswer(QMessageBox::Yes);
        dlg.GenerateUrlList();
        QCOMPARE(recorder.calls().size(), 2);
        QCOMPARE(recorder.lastText(),
                 u("无法创建输出目录:\n") + dir_->qtPath()
                         + u("/plain/sub\n原因: 不是目录 (errno 20)"));
    }

    void messageBoxesSpeakChinese()
    {
        CGarnetDlg dlg;
        QVERIFY(showActive(dlg));
        dlg.outputPathEdit()->setText(dir_->qtPath() + QStringLiteral("/made/out.lst"));
        dlg.lastIdEdit()->setText(QStringLiteral("2"));
        QStringList question, done;
        std::optional<NextModal<QMessageBox>> result;
        NextModal<QMessageBox> ask(
                [&](QMessageBox *box) {
                    question = buttonTexts(box);
                    shoot(QStringLiteral("garnet-question-folder.png"));
                },
                [&](QMessageBox *box) {
                    // The box with the outcome comes once this one is answered.
                    result.emplace(
                            [&](QMessageBox *outcome) {
                                done = buttonTexts(outcome);
                                shoot(QStringLiteral("garnet-done.png"));
                            },
                            [](QMessageBox *outcome) { QVERIFY(clickButton(outcome, u("确定"))); });
                    QVERIFY(clickButton(box, u("是")));
                });
        dlg.GenerateUrlList();
        QVERIFY(ask.seen() && result && result->seen());
        QCOMPARE(question, (QStringList {u("否"), u("是")}));
        QCOMPARE(done, QStringList {u("确定")});
        QCOMPARE(dlg.menuButton()->text(), u("菜单")); // the About entry has a visible way in
    }

    void enterChecksAndCloses()
    {
        MessageBoxRecorder recorder;
        CGarnetDlg dlg;
        QVERIFY(showActive(dlg));
        dlg.firstIdEdit()->clear();
        dlg.firstIdEdit()->setFocus();
        QTest::keyClick(dlg.firstIdEdit(), Qt::Key_Return);
        QCOMPARE(recorder.texts(), QStringList {u("请键入一个整数。")});
        QVERIFY(dlg.isVisible());

        QTest::keyClicks(dlg.firstIdEdit(), QStringLiteral("20"));
        QTest::keyClick(dlg.templateEdit(), Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(recorder.calls().size(), 1);
        // Enter only closes: no list is written.
        QVERIFY(!QFileInfo::exists(dlg.outputPathEdit()->text()));
    }

    void enterOnTheFocusedButtonGenerates()
    {
        MessageBoxRecorder recorder;
        CGarnetDlg dlg;
        QVERIFY(showActive(dlg));
        dlg.outputPathEdit()->setText(dir_->qtPath() + QStringLiteral("/out.lst"));
        dlg.lastIdEdit()->setText(QStringLiteral("2"));
        dlg.generateButton()->setFocus();
        QTest::keyClick(dlg.generateButton(), Qt::Key_Return);
        QCOMPARE(recorder.texts(), QStringList {u("2003年以前的htm帖子生成完成(共2个)")});
        QVERIFY(dlg.isVisible());
    }

    void escapeAndCloseBoxCloseAtOnce()
    {
        MessageBoxRecorder recorder;
        {
            CGarnetDlg dlg;
            QVERIFY(showActive(dlg));
            dlg.firstIdEdit()->setText(QStringLiteral("0")); // invalid, but not checked
            QTest::keyClick(dlg.firstIdEdit(), Qt::Key_Escape);
            QVERIFY(!dlg.isVisible());
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
        }
        {
            CGarnetDlg dlg;
            QVERIFY(showActive(dlg));
            dlg.lastIdEdit()->clear();
            QVERIFY(dlg.close());
            QVERIFY(!dlg.isVisible());
        }
        QVERIFY(recorder.calls().isEmpty());
    }

    void aboutBoxFromTheMenu()
    {
        CGarnetDlg dlg;
        QString title;
        QString version;
        UiSeam::SetModalHandler([&](QDialog &dialog) {
            title = dialog.windowTitle();
            if (auto *about = qobject_cast<CAboutDialog *>(&dialog))
                version = about->versionLabel()->text();
            return int(QDialog::Accepted);
        });
        QAction *about = nullptr;
        for (QAction *action : dlg.systemMenu()->actions()) {
            if (action->text() == u("关于 Garnet(&A)..."))
                about = action;
        }
        QVERIFY(about);
        about->trigger();
        QCOMPARE(title, u("关于 Garnet"));
        QCOMPARE(version,
                 u("产品版本:%1.%2").arg(QUILLERY_VERSION_MAJOR).arg(QUILLERY_VERSION_MINOR));

        // A right click on the dialog opens the same menu.
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5),
                                dlg.mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(&dlg, &click);
        QTRY_VERIFY(dlg.systemMenu()->isVisible());
        dlg.systemMenu()->hide();
    }

    void badServerSettingIsShownOnceUp()
    {
        dir_->write("Configs/Garnet.ini", "[Server]\nBaseUrl=ftp://x.example\n");
        MessageBoxRecorder recorder;
        CGarnetDlg dlg;
        QCOMPARE(dlg.templateEdit()->text(),
                 Server + QStringLiteral("/expert/buildtopic1.asp?id=|ID|"));
        QVERIFY(recorder.calls().isEmpty());
        dlg.show();
        QTRY_COMPARE(recorder.calls().size(), 1);
        QVERIFY(recorder.lastText().contains(QStringLiteral("ftp://x.example")));
        dlg.hide();
        dlg.show();
        QTest::qWait(50);
        QCOMPARE(recorder.calls().size(), 1);
    }

    // Pictures of the dialog, kept in QUILLERY_SHOTS for a person to look at when it names a
    // folder. Each must show its widget: its size, and more than a blank or a frame.
    void screenshot()
    {
        QTemporaryDir scratch;
        QString folder = qEnvironmentVariable("QUILLERY_SHOTS");
        if (folder.isEmpty())
            folder = scratch.path();
        QDir().mkpath(folder);
        CGarnetDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QImage plain, xml;
        QCOMPARE(shot(dlg, folder + QStringLiteral("/garnet.png"), &plain), QString());
        dlg.formatList()->setCurrentIndex(1);
        QCOMPARE(shot(dlg, folder + QStringLiteral("/garnet-xml.png"), &xml), QString());
        QVERIFY(plain != xml); // the other format shows
        dlg.systemMenu()->popup(
                dlg.menuButton()->mapToGlobal(QPoint(0, dlg.menuButton()->height())));
        QVERIFY(QTest::qWaitForWindowExposed(dlg.systemMenu()));
        QCOMPARE(shot(*dlg.systemMenu(), folder + QStringLiteral("/garnet-menu.png")), QString());
        dlg.systemMenu()->hide();
        CAboutDialog about(&dlg, u("关于 Garnet"),
                           u("Garnet  Lumora帖子URL列表生成器\nQuillery 离线帖子存档套件的一部分"),
                           dlg.windowIcon());
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QCOMPARE(shot(about, folder + QStringLiteral("/garnet-about.png")), QString());
    }

private:
    static void shoot(const QString &name)
    {
        const QString folder = qEnvironmentVariable("QUILLERY_SCREENSHOTS");
        if (!folder.isEmpty() && QDir().mkpath(folder))
            QGuiApplication::primaryScreen()->grabWindow(0).save(folder + QLatin1Char('/') + name);
    }

    // Xvfb has no window manager to activate a new window.
    static bool showActive(QWidget &window)
    {
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            return false;
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }

    // Saves a picture of the widget and reads it back from the file; says what is wrong
    // with it, or nothing.
    static QString shot(QWidget &widget, const QString &path, QImage *image = nullptr)
    {
        const QPixmap grabbed = widget.grab();
        if (!grabbed.save(path))
            return path + QStringLiteral(": not written");
        const QImage read(path);
        if (image)
            *image = read;
        if (read.size() != widget.size() * grabbed.devicePixelRatio())
            return path + QStringLiteral(": not the widget's size");
        // Text, frames and buttons give many colours; a blank or one-colour picture few.
        QSet<QRgb> colours;
        for (int y = 0; y < read.height(); y += 2) {
            for (int x = 0; x < read.width(); x += 2)
                colours.insert(read.pixel(x, y));
        }
        if (colours.size() < 8)
            return path + QStringLiteral(": nearly blank");
        return QString();
    }

    static const QLabel *labelFor(const CGarnetDlg &dlg, const QWidget *field)
    {
        for (const QLabel *label : dlg.findChildren<QLabel *>()) {
            if (label->buddy() == field)
                return label;
        }
        return nullptr;
    }

    std::unique_ptr<TempAppDir> dir_;
};

QUILLERY_REGISTER_TEST(TestGarnetDlg)
#include "tst_GarnetDlg.moc"
