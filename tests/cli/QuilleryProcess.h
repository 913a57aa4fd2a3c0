#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <initializer_list>

// The built quillery run as a user at a UTF-8 terminal would run it, for the command tests
// that only need its status and its two outputs.
namespace QuilleryProcess {

inline const QString AppQuillery = QStringLiteral(QUILLERY_APP_DIR "/quillery");

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

inline Run quillery(const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("LC_ALL"));
    env.remove(QStringLiteral("LC_CTYPE"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(env);
    process.start(AppQuillery, arguments);
    Run run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

inline QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

inline QStringList a(std::initializer_list<const char *> utf8)
{
    QStringList list;
    for (const char *text : utf8)
        list << QString::fromUtf8(text);
    return list;
}

} // namespace QuilleryProcess
