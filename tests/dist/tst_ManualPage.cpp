#include "TestRegistry.h"

#include "dist/HelpText.h"
#include "dist/ManualPage.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// The layout every --help of the programs follows, with its odd corners: a second usage
// line, a row without a description, a description over several lines, a heading inside
// the options, examples in the description, exit status over two lines.
const char Help[] = "用法: quillery demo [选项]\n"
                    "       quillery demo --other\n"
                    "\n"
                    "第一段的说明\n"
                    "接着一行。Uses .dots and a \\ backslash.\n"
                    "  列一  列二  (an example)\n"
                    "\n"
                    "选项:\n"
                    "  -f, --format FORMAT    行格式: html 或 xml\n"
                    "                         第二行\n"
                    "      --dir DIR          目录\n"
                    "  --path-check, --no-path-check\n"
                    "                         检查路径\n"
                    "基本字段:\n"
                    "  --title-start TEXT, --title-end TEXT      标题\n"
                    "  -o, --output PATH      输出文件\n"
                    "      --config FILE      配置\n"
                    "  -h, --help             显示本帮助\n"
                    "\n"
                    "退出状态: 0 成功;1 失败;\n"
                    "          2 用法错误。\n";

} // namespace

class TestManualPage : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void helpTextIsReadAsADocument()
    {
        const HelpText::Document doc = HelpText::Parse(u(Help));
        QCOMPARE(doc.usage, (QStringList {u("quillery demo [选项]"), u("quillery demo --other")}));
        QCOMPARE(doc.exitStatus, (QStringList {u("0 成功;1 失败;"), u("2 用法错误。")}));
        QCOMPARE(doc.sections.size(), std::size_t(3));
        const HelpText::Section &description = doc.sections[0];
        QVERIFY(description.heading.isEmpty());
        QCOMPARE(description.blocks.size(), std::size_t(2));
        QCOMPARE(description.blocks[0].kind, HelpText::Block::Prose);
        QCOMPARE(description.blocks[1].kind, HelpText::Block::Preformatted);
        QCOMPARE(description.blocks[1].lines, QStringList {u("列一  列二  (an example)")});

        const HelpText::Section &options = doc.sections[1];
        QCOMPARE(options.heading, u("选项"));
        const std::vector<HelpText::Row> &rows = options.blocks.at(0).rows;
        QCOMPARE(rows.size(), std::size_t(3));
        QCOMPARE(rows[0].term, u("-f, --format FORMAT"));
        QCOMPARE(rows[0].description, (QStringList {u("行格式: html 或 xml"), u("第二行")}));
        QCOMPARE(rows[2].term, u("--path-check, --no-path-check"));
        QCOMPARE(rows[2].description, QStringList {u("检查路径")});
        QCOMPARE(doc.sections[2].heading, u("基本字段"));
        QCOMPARE(doc.sections[2].blocks.at(0).rows.size(), std::size_t(4));
    }

    void optionsOfATermKeepTheirValues()
    {
        const auto options = HelpText::OptionsOfTerm(u("-f, --format FORMAT"));
        QCOMPARE(options.size(), std::size_t(2));
        QCOMPARE(options[0].name, u("-f"));
        QCOMPARE(options[0].value, u("FORMAT"));
        QCOMPARE(options[1].value, u("FORMAT"));
        const auto pair = HelpText::OptionsOfTerm(u("--roomid-start TEXT, --roomid-end TEXT"));
        QCOMPARE(pair.size(), std::size_t(2));
        QCOMPARE(pair[1].name, u("--roomid-end"));
        const auto flags = HelpText::OptionsOfTerm(u("-h, --help"));
        QVERIFY(flags[0].value.isEmpty() && flags[1].value.isEmpty());
        QVERIFY(HelpText::OptionsOfTerm(u("Configs/InitTree.xml")).empty());
    }

    void pageHasTheSectionsManReadsAndEscapesRoff()
    {
        const QString page = RenderManualPage({u("demo"), u("演示程序"), u(Help)}, {}, u("1.2.3"),
                                              {u("quillery(1)")});
        QVERIFY(page.contains(u(".TH DEMO 1 \"\" \"Quillery 1.2.3\" \"Quillery\"\n")));
        // whatis reads "name \- summary" under NAME.
        QVERIFY(page.contains(u(".SH NAME\ndemo \\- 演\\:示\\:程\\:序\\:\n")));
        for (const char *section :
             {".SH SYNOPSIS", ".SH DESCRIPTION", ".SH OPTIONS", ".SH \"EXIT STATUS\"",
              ".SH \"SEE ALSO\"", ".SS \"基\\:本\\:字\\:段\\:\""})
            QVERIFY2(page.contains(u(section)), section);
        QVERIFY(page.contains(u(".TP\n\\fB\\-f, \\-\\-format FORMAT\\fR\n")));
        // A backslash is printed, not taken as an escape; "x-y" keeps its hyphen.
        QVERIFY(page.contains(u("a \\e backslash")));
        QVERIFY(page.contains(u("\\fBquillery\\fR(1)")));
        // No line starts with a dot that roff would take for a request.
        for (const QString &line : page.split(u'\n'))
            QVERIFY2(!line.startsWith(u(".dots")), qPrintable(line));
        // Two Chinese lines join without a space.
        QVERIFY(page.contains(u("明\\:\\c\n接")));
    }

    void subcommandsBecomeSectionsOfTheirProgramsPage()
    {
        const QString page =
                RenderManualPage({u("quillery"), u("命令行"), u("用法: quillery\n")},
                                 {{u("quillery demo"), u("演示"), u(Help)}}, u("1.0.0"), {});
        QVERIFY(page.contains(u(".SH \"QUILLERY DEMO\"\n.nf\n\\fBquillery demo\\fR [")));
        QVERIFY(page.contains(u(".SS \"选\\:项\\:\"")));
        QVERIFY(page.contains(u(".SS \"退\\:出\\:状\\:态\\:\"")));
        QVERIFY(!page.contains(u("SEE ALSO")));
    }

    void manRendersThePageWithoutWarnings()
    {
        const QString man = QStandardPaths::findExecutable(QStringLiteral("man"));
        if (man.isEmpty())
            QSKIP("man (package man-db) is not installed");
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("demo.1")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
                RenderManualPage({u("demo"), u("演示程序"), u(Help)}, {}, u("1.2.3"), {}).toUtf8());
        file.close();
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        env.insert(QStringLiteral("MANWIDTH"), QStringLiteral("60"));
        process.setProcessEnvironment(env);
        process.start(man,
                      {QStringLiteral("--warnings"), QStringLiteral("-E"), QStringLiteral("UTF-8"),
                       QStringLiteral("-l"), file.fileName()});
        QVERIFY(process.waitForFinished(30000));
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        QCOMPARE(QString::fromUtf8(process.readAllStandardError()), QString());
        QVERIFY2(out.contains(u("--path-check, --no-path-check")), qPrintable(out));
        QVERIFY2(out.contains(u("第一段的说明接着一行")), qPrintable(out));
    }

    void completionOffersOptionsAndNamesByTheirValues()
    {
        const QString script =
                RenderBashCompletion(u("quillery"), {{u("quillery demo"), u("演示"), u(Help)}});
        QVERIFY(script.contains(u("local commands='demo'")));
        QVERIFY(script.contains(u("options='-f --format --dir --path-check --no-path-check "
                                  "--title-start --title-end -o --output --config -h --help'")));
        QVERIFY(script.contains(u("files='-o --output --config'")));
        QVERIFY(script.contains(u("folders='--dir'")));
        QVERIFY(script.contains(u("values='-f --format --title-start --title-end'")));
        QVERIFY(script.contains(u("complete -F _quillery quillery")));
        const QString bash = QStandardPaths::findExecutable(QStringLiteral("bash"));
        QProcess check;
        check.start(bash, {QStringLiteral("-n")});
        check.write(script.toUtf8());
        check.closeWriteChannel();
        QVERIFY(check.waitForFinished(10000));
        QCOMPARE(check.exitCode(), 0);
    }
};

QUILLERY_REGISTER_TEST(TestManualPage)
#include "tst_ManualPage.moc"
