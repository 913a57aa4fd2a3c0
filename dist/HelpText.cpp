#include "HelpText.h"

#include <QRegularExpression>

namespace HelpText {

namespace {

const QString UsagePrefix = QStringLiteral("用法:");
const QString ExitPrefix = QStringLiteral("退出状态:");

qsizetype indentOf(const QString &line)
{
    qsizetype n = 0;
    while (n < line.size() && line.at(n) == u' ')
        ++n;
    return n;
}

} // namespace

Document Parse(const QString &help)
{
    Document document;
    const QStringList lines = help.split(u'\n');
    qsizetype i = 0;
    if (!lines.isEmpty() && lines.first().startsWith(UsagePrefix)) {
        document.usage.append(lines.first().mid(UsagePrefix.size()).trimmed());
        for (i = 1;
             i < lines.size() && indentOf(lines.at(i)) > 0 && !lines.at(i).trimmed().isEmpty(); ++i)
            document.usage.append(lines.at(i).trimmed());
    }
    document.sections.emplace_back();

    // A row's term starts within the first columns ("  -f, --format", "      --first");
    // its description's further lines stand far to the right.
    static const QRegularExpression rowPattern(QStringLiteral("^ {2,6}(\\S.*?)(?: {2,}(\\S.*))?$"));
    constexpr qsizetype TermColumn = 6;
    bool inExitStatus = false;
    bool blockOpen = false;
    const auto openKind = [&] { return document.sections.back().blocks.back().kind; };
    const auto openBlock = [&](Block::Kind kind) -> Block & {
        std::vector<Block> &blocks = document.sections.back().blocks;
        if (!blockOpen || blocks.empty() || blocks.back().kind != kind) {
            blocks.push_back(Block {kind, {}, {}});
            blockOpen = true;
        }
        return blocks.back();
    };
    for (; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        const qsizetype indent = indentOf(line);
        if (line.trimmed().isEmpty()) {
            blockOpen = false;
            inExitStatus = false;
            continue;
        }
        if (inExitStatus && indent > 0) {
            document.exitStatus.append(line.trimmed());
            continue;
        }
        inExitStatus = false;
        if (indent == 0) {
            if (line.startsWith(ExitPrefix)) {
                document.exitStatus.append(line.mid(ExitPrefix.size()).trimmed());
                inExitStatus = true;
                blockOpen = false;
            } else if (line.endsWith(u':') && (!blockOpen || openKind() != Block::Prose)) {
                // A heading; a paragraph's last line may end in ":" too.
                document.sections.push_back(Section {line.chopped(1), {}});
                blockOpen = false;
            } else {
                openBlock(Block::Prose).lines.append(line);
            }
            continue;
        }
        std::vector<Block> &blocks = document.sections.back().blocks;
        if (blockOpen && !blocks.empty() && blocks.back().kind == Block::Table
            && indent > TermColumn && !blocks.back().rows.empty()) {
            blocks.back().rows.back().description.append(line.trimmed());
            continue;
        }
        // Tables stand under a heading; indented lines of the description are examples.
        const QRegularExpressionMatch row = rowPattern.match(line);
        if (!document.sections.back().heading.isEmpty() && row.hasMatch()) {
            Row entry {row.captured(1), {}};
            if (row.hasCaptured(2))
                entry.description.append(row.captured(2));
            openBlock(Block::Table).rows.push_back(entry);
            continue;
        }
        openBlock(Block::Preformatted).lines.append(line.mid(2));
    }
    return document;
}

std::vector<Option> OptionsOfTerm(const QString &term)
{
    std::vector<Option> options;
    static const QRegularExpression partPattern(
            QStringLiteral("^(-{1,2}[A-Za-z0-9][\\w-]*)(?:[ =](\\S+))?$"));
    for (const QString &part : term.split(QStringLiteral(", "))) {
        const QRegularExpressionMatch match = partPattern.match(part.trimmed());
        if (match.hasMatch())
            options.push_back({match.captured(1), match.captured(2)});
    }
    // "-f, --format FORMAT": the short form takes the long form's value.
    QString value;
    for (auto it = options.rbegin(); it != options.rend(); ++it) {
        if (!it->value.isEmpty())
            value = it->value;
        else if (!it->name.startsWith(QStringLiteral("--")))
            it->value = value;
    }
    return options;
}

} // namespace HelpText
