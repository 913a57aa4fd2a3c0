#include "ManualPage.h"

#include "HelpText.h"

#include <QRegularExpression>

namespace {

using namespace HelpText;

bool isWide(QChar c)
{
    return c.unicode() >= 0x2E80;
}

// roff text: a backslash is "\e", a dash that starts a word (an option) is "\-", and a
// line may not start with a control character. groff does not know where Chinese text
// may break, so every wide character is followed by a break point ("\:").
QString escaped(const QString &text)
{
    static const QRegularExpression optionDash(QStringLiteral("(?<![A-Za-z0-9_])-"));
    QString out = text;
    out.replace(u'\\', QStringLiteral("\\e"));
    out.replace(optionDash, QStringLiteral("\\-"));
    QString broken;
    broken.reserve(out.size() * 2);
    for (const QChar c : out) {
        broken += c;
        if (isWide(c))
            broken += QStringLiteral("\\:");
    }
    if (broken.startsWith(u'.') || broken.startsWith(u'\''))
        broken.prepend(QStringLiteral("\\&"));
    return broken;
}

// Lines of one paragraph; two wide characters meet without the space roff would put
// between the lines.
QString filled(const QStringList &lines)
{
    QString out;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        out += escaped(lines.at(i));
        const bool joinTight = i + 1 < lines.size() && !lines.at(i).isEmpty()
                && !lines.at(i + 1).isEmpty() && isWide(lines.at(i).back())
                && isWide(lines.at(i + 1).front());
        out += joinTight ? QStringLiteral("\\c\n") : QStringLiteral("\n");
    }
    return out;
}

QString bold(const QString &text)
{
    return QStringLiteral("\\fB") + escaped(text) + QStringLiteral("\\fR");
}

QString blocks(const std::vector<Block> &list)
{
    QString out;
    for (const Block &block : list) {
        switch (block.kind) {
        case Block::Prose:
            out += QStringLiteral(".PP\n") + filled(block.lines);
            break;
        case Block::Preformatted:
            out += QStringLiteral(".PP\n.RS 2\n.nf\n");
            for (const QString &line : block.lines)
                out += escaped(line) + u'\n';
            out += QStringLiteral(".fi\n.RE\n");
            break;
        case Block::Table:
            for (const Row &row : block.rows) {
                out += QStringLiteral(".TP\n") + bold(row.term) + u'\n';
                for (qsizetype i = 0; i < row.description.size(); ++i) {
                    if (i > 0)
                        out += QStringLiteral(".br\n");
                    out += escaped(row.description.at(i)) + u'\n';
                }
            }
            break;
        }
    }
    return out;
}

QString usage(const QStringList &lines)
{
    QString out = QStringLiteral(".nf\n");
    for (const QString &line : lines) {
        // The command's own words in bold, its arguments as written.
        static const QRegularExpression command(QStringLiteral("^([a-z]+(?: [a-z]+)?)(\\b.*)$"));
        const QRegularExpressionMatch match = command.match(line);
        out += match.hasMatch() ? bold(match.captured(1)) + escaped(match.captured(2))
                                : escaped(line);
        out += u'\n';
    }
    return out + QStringLiteral(".fi\n");
}

QString standardHeading(const QString &heading)
{
    if (heading == QStringLiteral("选项"))
        return QStringLiteral("OPTIONS");
    if (heading == QStringLiteral("子命令"))
        return QStringLiteral("COMMANDS");
    if (heading == QStringLiteral("文件"))
        return QStringLiteral("FILES");
    return QString();
}

QString quoted(const QString &text)
{
    return u'"' + escaped(text) + u'"';
}

// A program's own page: its sections become the page's sections.
QString pageBody(const Document &document)
{
    QString out = QStringLiteral(".SH SYNOPSIS\n") + usage(document.usage);
    for (const Section &section : document.sections) {
        if (section.heading.isEmpty()) {
            if (section.blocks.empty())
                continue;
            out += QStringLiteral(".SH DESCRIPTION\n");
        } else {
            const QString standard = standardHeading(section.heading);
            out += standard.isEmpty() ? QStringLiteral(".SS ") + quoted(section.heading) + u'\n'
                                      : QStringLiteral(".SH ") + standard + u'\n';
        }
        out += blocks(section.blocks);
    }
    if (!document.exitStatus.isEmpty())
        out += QStringLiteral(".SH \"EXIT STATUS\"\n") + filled(document.exitStatus);
    return out;
}

// A subcommand's part of the page: one section, its own parts under it.
QString subcommandBody(const ManualEntry &entry, const Document &document)
{
    QString out = QStringLiteral(".SH ") + quoted(entry.name.toUpper()) + u'\n'
            + usage(document.usage) + QStringLiteral(".PP\n") + filled({entry.summary});
    for (const Section &section : document.sections) {
        if (!section.heading.isEmpty())
            out += QStringLiteral(".SS ") + quoted(section.heading) + u'\n';
        out += blocks(section.blocks);
    }
    if (!document.exitStatus.isEmpty())
        out += QStringLiteral(".SS ") + quoted(QStringLiteral("退出状态")) + u'\n'
                + QStringLiteral(".PP\n") + filled(document.exitStatus);
    return out;
}

} // namespace

QString RenderManualPage(const ManualEntry &program, const std::vector<ManualEntry> &subcommands,
                         const QString &version, const QStringList &seeAlso)
{
    QString page = QStringLiteral(".\\\" Made from the program's --help; edit that text instead.\n")
            + QStringLiteral(".TH ") + program.name.toUpper() + QStringLiteral(" 1 \"\" ")
            + quoted(QStringLiteral("Quillery ") + version)
            + QStringLiteral(" \"Quillery\"\n")
            // Chinese text gives roff few places to stretch a line, and paths must not be
            // hyphenated: fill without justifying or hyphenating.
            + QStringLiteral(".ad l\n.nh\n") + QStringLiteral(".SH NAME\n") + escaped(program.name)
            + QStringLiteral(" \\- ") + escaped(program.summary) + u'\n'
            + pageBody(Parse(program.help));
    for (const ManualEntry &subcommand : subcommands)
        page += subcommandBody(subcommand, Parse(subcommand.help));
    if (!seeAlso.isEmpty()) {
        QStringList references;
        for (const QString &reference : seeAlso) {
            const qsizetype open = reference.indexOf(u'(');
            references.append(bold(reference.left(open)) + escaped(reference.mid(open)));
        }
        page += QStringLiteral(".SH \"SEE ALSO\"\n") + references.join(QStringLiteral(",\n"))
                + u'\n';
    }
    return page;
}

namespace {

struct CompletionOptions
{
    QStringList all, files, folders, values;
};

CompletionOptions completionOptions(const QString &help)
{
    CompletionOptions options;
    for (const Section &section : Parse(help).sections) {
        for (const Block &block : section.blocks) {
            for (const Row &row : block.rows) {
                for (const Option &option : OptionsOfTerm(row.term)) {
                    options.all.append(option.name);
                    if (option.value == QStringLiteral("DIR"))
                        options.folders.append(option.name);
                    else if (option.value == QStringLiteral("FILE")
                             || option.value == QStringLiteral("PATH"))
                        options.files.append(option.name);
                    else if (!option.value.isEmpty())
                        options.values.append(option.name);
                }
            }
        }
    }
    return options;
}

} // namespace

QString RenderBashCompletion(const QString &program, const std::vector<ManualEntry> &subcommands)
{
    QStringList names;
    for (const ManualEntry &entry : subcommands)
        names.append(entry.name.section(u' ', -1));
    QString cases;
    for (const ManualEntry &entry : subcommands) {
        const CompletionOptions options = completionOptions(entry.help);
        cases += QStringLiteral("    %1)\n        options='%2'\n        files='%3'\n"
                                "        folders='%4'\n        values='%5'\n        ;;\n")
                         .arg(entry.name.section(u' ', -1), options.all.join(u' '),
                              options.files.join(u' '), options.folders.join(u' '),
                              options.values.join(u' '));
    }
    const QString function = u'_' + program;
    return QStringLiteral(
                   "# bash completion for %1, made from its --help texts.\n"
                   "%2()\n"
                   "{\n"
                   "    local cur prev words cword\n"
                   "    _init_completion || return\n"
                   "    local commands='%3'\n"
                   "    if ((cword == 1)); then\n"
                   "        COMPREPLY=($(compgen -W \"$commands help --help --version\" -- "
                   "\"$cur\"))\n"
                   "        return\n"
                   "    fi\n"
                   "    local options files folders values\n"
                   "    case ${words[1]} in\n"
                   "    help)\n"
                   "        ((cword == 2)) && COMPREPLY=($(compgen -W \"$commands\" -- \"$cur\"))\n"
                   "        return\n"
                   "        ;;\n"
                   "%4"
                   "    *)\n"
                   "        return\n"
                   "        ;;\n"
                   "    esac\n"
                   "    if [[ \" $folders \" == *\" $prev \"* ]]; then\n"
                   "        _filedir -d\n"
                   "    elif [[ \" $files \" == *\" $prev \"* ]]; then\n"
                   "        _filedir\n"
                   "    elif [[ \" $values \" == *\" $prev \"* ]]; then\n"
                   "        return\n"
                   "    elif [[ $cur == -* ]]; then\n"
                   "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
                   "    fi\n"
                   "}\n"
                   "complete -F %2 %1\n")
            .arg(program, function, names.join(u' '), cases);
}
