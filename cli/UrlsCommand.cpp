#include "UrlsCommand.h"

#include "CliTexts.h"
#include "CommandLine.h"
#include "OptionParser.h"
#include "Terminal.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "urllist/ServerSetting.h"
#include "urllist/UrlListGeneration.h"
#include "urllist/UrlTemplateTable.h"

namespace {

constexpr const char Name[] = "urls";
constexpr const char Summary[] = "生成Lumora帖子的下载列表 DownList.lst(与 Garnet 相同)";

constexpr const char Help[] =
        "用法: quillery urls [选项]\n"
        "\n"
        "为一段帖子ID生成Lumora帖子的下载列表:每个ID一行,按ID升序,\n"
        "GBK 编码,行尾为 CR LF。已有的文件会先被清空;范围不符时文件保持原样。\n"
        "\n"
        "选项:\n"
        "  -f, --format FORMAT    行格式: 0 或 html = %1(默认),\n"
        "                         1 或 xml = %2\n"
        "      --first ID         帖子ID的开始值(默认: html 为 %3,xml 为 %4)\n"
        "      --last ID          帖子ID的结束值(默认: html 为 %5,xml 为 %6)\n"
        "  -t, --template TEXT    行模板(默认为所选格式的模板);可用 |ID|、|ID4| 等、\n"
        "                         |APP_PATH|、|ENTER|、|NEWLINE|\n"
        "  -o, --output PATH      输出文件(默认: %7)\n"
        "  -h, --help             显示本帮助\n"
        "      --version          显示版本号\n"
        "\n"
        "帖子ID须在 1 和 2147483646 之间;htm帖子的结束值不大于 1317806,\n"
        "xml帖子的开始值不小于 1317807。\n"
        "\n"
        "内置模板(服务器地址取自 %8 的 [Server] BaseUrl):\n"
        "  html: %9\n"
        "  xml:  %10\n"
        "\n"
        "退出状态: 0 成功;1 范围不符或文件无法写入;2 用法错误。\n";

constexpr const char UnknownFormat[] = "未知的行格式 “%1”(可用 0、1、html、xml)";
constexpr const char BadId[] = "%1: %2";

QString q(const std::string &gbk)
{
    return Gbk::toQString(gbk);
}

QString helpText(const UrlTemplateTable &table)
{
    const UrlTemplateEntry &html = table[HtmlFormat];
    const UrlTemplateEntry &xml = table[XmlFormat];
    return QString::fromUtf8(Help)
            .arg(q(html.label), q(xml.label))
            .arg(html.firstId)
            .arg(xml.firstId)
            .arg(html.lastId)
            .arg(xml.lastId)
            .arg(q(DefaultUrlListPath()), q(ServerSettingPath()), q(html.lineTemplate),
                 q(xml.lineTemplate));
}

bool parseFormat(const QString &value, int &format)
{
    const QString name = value.toLower();
    if (name == QLatin1String("0") || name == QLatin1String("html"))
        format = HtmlFormat;
    else if (name == QLatin1String("1") || name == QLatin1String("xml"))
        format = XmlFormat;
    else
        return false;
    return true;
}

} // namespace

Subcommand UrlsCommand()
{
    return {Name, Summary, &RunUrlsCommand};
}

int RunUrlsCommand(const QStringList &arguments, Terminal &terminal)
{
    const QString command = QStringLiteral("quillery urls");
    OptionParser parser({
            {QStringLiteral("format"), u'f', true},
            {QStringLiteral("first"), QChar(), true},
            {QStringLiteral("last"), QChar(), true},
            {QStringLiteral("template"), u't', true},
            {QStringLiteral("output"), u'o', true},
            {QStringLiteral("help"), u'h', false},
            {QStringLiteral("version"), QChar(), false},
    });
    if (const auto status = RejectCommandLine(parser, arguments, terminal, command))
        return *status;

    const ServerSetting server = ReadServerSetting();
    const UrlTemplateTable table = BuildUrlTemplateTable(server.baseUrl);
    if (parser.isSet(QStringLiteral("help"))) {
        terminal.out(helpText(table));
        return ExitStatus::Success;
    }
    if (!server.problem.empty())
        terminal.err(command + QStringLiteral(": ") + QString::fromUtf8(CliText::Warning)
                     + q(server.problem));

    UrlListRequest request;
    if (parser.isSet(QStringLiteral("format"))
        && !parseFormat(parser.value(QStringLiteral("format")), request.format))
        return UsageError(
                terminal, command,
                QString::fromUtf8(UnknownFormat).arg(parser.value(QStringLiteral("format"))));
    const UrlTemplateEntry &entry = table[std::size_t(request.format)];
    request.lineTemplate = parser.isSet(QStringLiteral("template"))
            ? Gbk::fromQString(parser.value(QStringLiteral("template")))
            : entry.lineTemplate;
    request.outputPath = parser.isSet(QStringLiteral("output"))
            ? FileSystem::fromQtPath(parser.value(QStringLiteral("output")))
            : DefaultUrlListPath();

    // The same checks as the dialog's fields: a malformed number is a wrong command
    // line, a number outside the range a refused request.
    request.firstId = entry.firstId;
    request.lastId = entry.lastId;
    for (const auto &[option, id] : {std::pair {QStringLiteral("first"), &request.firstId},
                                     std::pair {QStringLiteral("last"), &request.lastId}}) {
        if (!parser.isSet(option))
            continue;
        const PostIdCheck check = ParsePostId(Gbk::fromQString(parser.value(option)), *id);
        if (check == PostIdCheck::Valid)
            continue;
        const QString problem =
                QString::fromUtf8(BadId).arg(QStringLiteral("--") + option, q(PostIdPrompt(check)));
        if (check == PostIdCheck::NotInteger)
            return UsageError(terminal, command, problem);
        terminal.err(command + QStringLiteral(": ") + problem);
        return ExitStatus::Failure;
    }

    const UrlListResult result = GenerateUrlListFile(table, request);
    if (result.outcome != UrlListOutcome::Written) {
        terminal.err(command + QStringLiteral(": ") + q(result.text));
        return ExitStatus::Failure;
    }
    terminal.out(q(result.text));
    return ExitStatus::Success;
}
