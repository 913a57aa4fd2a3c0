#include "ProgramInfo.h"

#include "CommonTexts.h"

QString ProgramHelpText(const char *helpUtf8)
{
    return QString::fromUtf8(helpUtf8) + QString::fromUtf8(CommonText::InfoOptionsHelp)
            + QString::fromUtf8(CommonText::FilesHelp);
}

QString ProgramVersionText(const QString &program)
{
    return QString::fromUtf8(CommonText::VersionLine)
            .arg(program, QStringLiteral(QUILLERY_VERSION_TEXT));
}

std::optional<QString> AnswerInfoOption(const QStringList &arguments, const char *programName,
                                        const char *helpUtf8)
{
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--"))
            break;
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            return ProgramHelpText(helpUtf8);
        if (argument == QLatin1String("--version"))
            return ProgramVersionText(QString::fromUtf8(programName));
    }
    return std::nullopt;
}
