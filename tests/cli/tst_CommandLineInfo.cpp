#include "TestRegistry.h"

#include "dist/HelpText.h"

#include <QProcess>

namespace {

struct Run
{
    int status = -1;
    QString out, err;
};

// Without a display: --help and --version must not need one.
Run start(const QString &program, const QStringList &arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LC_ALL", "LC_CTYPE"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    Run run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QString app(const char *name)
{
    return QStringLiteral(QUILLERY_APP_DIR "/") + QString::fromLatin1(name);
}

const QString Version = QStringLiteral(QUILLERY_VERSION_TEXT);

} // namespace

class TestCommandLineInfo : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void windowedProgramsAnswerHelpAndVersionWithoutADisplay()
    {
        for (const char *program : {"Kestrel", "Sorrel", "Garnet"}) {
            const Run version = start(app(program), {QStringLiteral("--version")});
            QCOMPARE(version.status, 0);
            QCOMPARE(version.out, QString::fromLatin1(program) + u' ' + Version + u'\n');
            const Run help = start(app(program), {QStringLiteral("--help")});
            QCOMPARE(help.status, 0);
            QVERIFY2(help.out.startsWith(QStringLiteral("用法: ")
                                         + QString::fromLatin1(program).toLower()),
                     qPrintable(help.out));
            for (const char *part : {"--version", "-h, --help", "文件:", "~/.local/share/quillery"})
                QVERIFY2(help.out.contains(QString::fromUtf8(part)), part);
            QVERIFY(help.err.isEmpty());
        }
        // Without those, no display is still a clear message and status 1.
        const Run kestrel = start(app("Kestrel"), {});
        QCOMPARE(kestrel.status, 1);
        QVERIFY2(kestrel.err.contains(QStringLiteral("no graphical display")),
                 qPrintable(kestrel.err));
    }

    // Every subcommand: its version, and every option its help names is one its parser
    // takes (the manual page and the completion are made from that help).
    void everySubcommandHasAVersionAndTakesTheOptionsItsHelpNames()
    {
        const Run general = start(app("quillery"), {QStringLiteral("--help")});
        QCOMPARE(general.status, 0);
        QStringList commands;
        for (const HelpText::Section &section : HelpText::Parse(general.out).sections) {
            if (section.heading != QStringLiteral("子命令"))
                continue;
            for (const HelpText::Block &block : section.blocks)
                for (const HelpText::Row &row : block.rows)
                    commands.append(row.term);
        }
        QCOMPARE(commands,
                 (QStringList {QStringLiteral("urls"), QStringLiteral("classify"),
                               QStringLiteral("find"), QStringLiteral("search"),
                               QStringLiteral("index"), QStringLiteral("import"),
                               QStringLiteral("gaps")}));
        QCOMPARE(start(app("quillery"), {QStringLiteral("--version")}).out,
                 QStringLiteral("quillery ") + Version + u'\n');
        for (const QString &command : commands) {
            const Run version = start(app("quillery"), {command, QStringLiteral("--version")});
            QCOMPARE(version.status, 0);
            QCOMPARE(version.out, QStringLiteral("quillery %1 %2\n").arg(command, Version));

            const Run help = start(app("quillery"), {command, QStringLiteral("--help")});
            QStringList arguments {command};
            int named = 0;
            for (const HelpText::Section &section : HelpText::Parse(help.out).sections)
                for (const HelpText::Block &block : section.blocks)
                    for (const HelpText::Row &row : block.rows)
                        for (const HelpText::Option &option : HelpText::OptionsOfTerm(row.term)) {
                            arguments << option.name;
                            if (!option.value.isEmpty())
                                arguments << QStringLiteral("1");
                            ++named;
                        }
            QVERIFY2(named >= 4, qPrintable(command));
            arguments << QStringLiteral("--help");
            const Run all = start(app("quillery"), arguments);
            QVERIFY2(all.status == 0, qPrintable(arguments.join(u' ') + u'\n' + all.err));
        }
    }
};

QUILLERY_REGISTER_TEST(TestCommandLineInfo)
#include "tst_CommandLineInfo.moc"
