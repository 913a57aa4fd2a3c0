#include "SampleArchive.h"

#include "browser/db/CAdoManager.h"
#include "browser/db/CAdoRecordset.h"
#include "browser/db/EmbeddedDatabase.h"
#include "browser/rooms/RoomModel.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/TextFormat.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

// A small deterministic generator, the same on every machine.
class Random
{
public:
    explicit Random(std::uint64_t seed)
        : state_(seed)
    {
    }
    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return int(next() % std::uint64_t(n)); }
    int between(int low, int high) { return low + below(high - low + 1); }
    template<std::size_t N>
    const char *pick(const std::array<const char *, N> &items)
    {
        return items[std::size_t(below(int(N)))];
    }

private:
    std::uint64_t state_;
};

const std::array<const char *, 18> Things {
        "内存管理", "字符串处理", "多线程",   "异常处理", "性能优化", "编码转换",
        "配置文件", "日志输出",   "单元测试", "网络通信", "文件读写", "正则表达式",
        "迭代器",   "模板参数",   "连接池",   "索引设计", "事务隔离", "中文乱码"};
const std::array<const char *, 6> Actions {"实现", "优化", "调试", "理解", "配置", "移植"};
const std::array<const char *, 6> Problems {"报错",     "程序崩溃", "速度很慢",
                                            "内存泄漏", "结果不对", "显示乱码"};
const std::array<const char *, 16> Users {"小林",     "老张",      "codefox",    "阿飞",
                                          "wangwei",  "北极熊",    "sky_walker", "程序员小王",
                                          "dbadmin",  "linux_fan", "青草",       "turing2002",
                                          "月光宝盒", "coder_li",  "海边的风",   "阿强"};
const std::array<const char *, 6> Replies {"楼主可以先检查一下%s的设置, 很多时候问题出在这里。",
                                           "我也遇到过, 后来升级到新版本就好了。",
                                           "顶一下, 同问。",
                                           "看看文档里关于%s的那一章, 写得很清楚。",
                                           "把完整的错误信息贴出来看看, 这样不好判断。",
                                           "写个最小的例子单独测试一下%s, 很快就能定位。"};

std::string gbk(const char *utf8)
{
    return Gbk::literal(utf8);
}

std::string makeTitle(Random &random, const std::string &room)
{
    const std::string thing = gbk(random.pick(Things));
    switch (random.below(6)) {
    case 0:
        return gbk("请教: ") + room + gbk("中") + thing + gbk("的问题");
    case 1:
        return room + gbk("里") + thing + gbk("怎么") + gbk(random.pick(Actions)) + "?";
    case 2:
        return gbk("分享一个") + room + gbk("的") + thing + gbk("小技巧");
    case 3:
        return gbk("【讨论】") + room + gbk("的") + thing + gbk("到底好不好用");
    case 4:
        return gbk("急! ") + thing + gbk("总是") + gbk(random.pick(Problems)) + gbk(", 在线等");
    default:
        return gbk("关于") + room + thing + gbk("的一点心得");
    }
}

std::string escapeMarkup(const std::string &text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

struct Body
{
    std::vector<std::string> paragraphs;
    struct Reply
    {
        std::string user, time, text;
    };
    std::vector<Reply> replies;
};

std::string timeAfter(const std::string &base, int minutes)
{
    int y, mo, d, h, mi, s;
    std::sscanf(base.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s);
    mi += minutes;
    h += mi / 60;
    mi %= 60;
    d += h / 24;
    h %= 24;
    if (d > 28) {
        d = 28; // the sample never needs the calendar's exact month ends
        h = 23;
    }
    return FormatText("%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
}

Body makeBody(const SamplePost &post)
{
    Random random(post.topicid * 2654435761ull + 17);
    Body body;
    const std::string thing = gbk(random.pick(Things));
    body.paragraphs.push_back(gbk("我最近在做一个项目, 用到了") + post.roomname + gbk("。"));
    body.paragraphs.push_back(gbk("遇到的问题是处理") + thing + gbk("的时候")
                              + gbk(random.pick(Problems))
                              + gbk(", 试过网上的几种办法, 都没有解决。"));
    body.paragraphs.push_back(
            gbk("环境是 Windows 2000 加上最新的补丁, 编译器和数据库都是默认配置。"));
    body.paragraphs.push_back(gbk("请各位高手指点一下, 先谢谢了!"));
    const int shown = std::min(post.reply, 4);
    for (int i = 0; i < shown; ++i) {
        const std::string format = gbk(random.pick(Replies));
        body.replies.push_back({gbk(random.pick(Users)),
                                timeAfter(post.createtime, 17 * (i + 1) + random.below(40)),
                                FormatText(format.c_str(), thing.c_str())});
    }
    return body;
}

std::string htmlPage(const SamplePost &post)
{
    const Body body = makeBody(post);
    std::string page = gbk("<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" "
                           "content=\"text/html; charset=gbk\">\r\n<title>")
            + escapeMarkup(post.title) + gbk(" - Lumora 技术社区</title>\r\n")
            + "<link rel=\"stylesheet\" href=\"../lumora.css\">\r\n</head>\r\n<body>\r\n"
            + gbk("<div class=\"banner\"><img src=\"../images/logo.svg\" alt=\"Lumora\"> Lumora "
                  "技术社区 · 帖子存档</div>\r\n")
            + gbk("<div class=\"crumbs\">所在论坛: <a class=\"room\">")
            + escapeMarkup(post.roomname) + "</a></div>\r\n" + "<table class=\"topic\">\r\n"
            + gbk("<tr><td class=\"label\">标题</td><td><h1 class=\"title\">")
            + escapeMarkup(post.title) + "</h1></td></tr>\r\n"
            + gbk("<tr><td class=\"label\">楼主</td><td><span class=\"author\">")
            + escapeMarkup(post.username) + "</span></td></tr>\r\n"
            + gbk("<tr><td class=\"label\">回复</td><td><span class=\"replies\">")
            + std::to_string(post.reply) + "</span></td></tr>\r\n"
            + gbk("<tr><td class=\"label\">发表于</td><td><span class=\"posted\">")
            + post.createtime + "</span></td></tr>\r\n</table>\r\n<div class=\"post\">\r\n";
    for (const std::string &paragraph : body.paragraphs)
        page += "<p>" + escapeMarkup(paragraph) + "</p>\r\n";
    page += "</div>\r\n";
    for (const Body::Reply &reply : body.replies)
        page += "<div class=\"reply\"><div class=\"who\">" + escapeMarkup(reply.user)
                + gbk(" 回复于 ") + reply.time + "</div><p>" + escapeMarkup(reply.text)
                + "</p></div>\r\n";
    page += "</body>\r\n</html>\r\n";
    return page;
}

std::string xmlFile(const SamplePost &post)
{
    const Body body = makeBody(post);
    std::string xml = "<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n"
                      "<?xml-stylesheet type=\"text/xsl\" href=\"../topic.xsl\"?>\r\n<Topic>\r\n";
    xml += "  <TopicId>" + std::to_string(post.topicid) + "</TopicId>\r\n";
    xml += "  <RoomId>" + escapeMarkup(post.roomid) + "</RoomId>\r\n";
    xml += "  <RoomName>" + escapeMarkup(post.roomname) + "</RoomName>\r\n";
    xml += "  <Title>" + escapeMarkup(post.title) + "</Title>\r\n";
    xml += "  <PostUserName>" + escapeMarkup(post.username) + "</PostUserName>\r\n";
    xml += "  <ReplyCount>" + std::to_string(post.reply) + "</ReplyCount>\r\n";
    xml += "  <PostDateTime>" + post.createtime + "</PostDateTime>\r\n  <Content>\r\n";
    for (const std::string &paragraph : body.paragraphs)
        xml += "    <P>" + escapeMarkup(paragraph) + "</P>\r\n";
    xml += "  </Content>\r\n  <Replies>\r\n";
    for (const Body::Reply &reply : body.replies)
        xml += "    <Reply><PostUserName>" + escapeMarkup(reply.user)
                + "</PostUserName><PostDateTime>" + reply.time + "</PostDateTime><Content>"
                + escapeMarkup(reply.text) + "</Content></Reply>\r\n";
    xml += "  </Replies>\r\n</Topic>\r\n";
    return xml;
}

const char *const HtmlStyle =
        R"(body { margin: 0; font-family: "SimSun", "Noto Serif CJK SC", serif; font-size: 14px; background: #f7f7f2; color: #222; }
.banner { background: #1f4e79; color: #fff; padding: 8px 14px; font-size: 16px; font-weight: bold; }
.banner img { vertical-align: middle; height: 22px; margin-right: 6px; }
.crumbs { padding: 6px 14px; color: #555; }
.room { color: #1f4e79; font-weight: bold; }
table.topic { margin: 6px 14px; border-collapse: collapse; background: #fff; }
table.topic td { border: 1px solid #c9d3df; padding: 4px 10px; }
td.label { background: #e8eef5; width: 70px; }
h1.title { font-size: 18px; margin: 2px 0; color: #1f4e79; }
.post { margin: 10px 14px; padding: 10px 16px; background: #fff; border: 1px solid #c9d3df; line-height: 1.8; }
.reply { margin: 8px 14px 8px 40px; padding: 6px 14px; background: #fbfbf7; border-left: 3px solid #9fb4d6; }
.who { color: #777; font-size: 12px; }
)";

const char *const XmlStyle =
        R"(body { margin: 0; font-family: "Noto Sans CJK SC", sans-serif; font-size: 14px; background: #f3f5f8; color: #263040; }
.banner { background: #2b5797; color: #fff; padding: 8px 14px; font-size: 16px; }
.meta { margin: 10px 16px 0 16px; color: #58657a; }
.meta b { color: #2b5797; }
h1 { margin: 8px 16px; font-size: 20px; color: #2b5797; }
.post { margin: 8px 16px; padding: 10px 18px; background: #fff; border-radius: 6px; border: 1px solid #d5dde8; line-height: 1.8; }
.reply { margin: 8px 16px 8px 44px; padding: 6px 14px; background: #fff; border-radius: 6px; border: 1px solid #e1e6ee; }
.who { color: #7a8599; font-size: 12px; }
)";

const char *const TopicXsl = R"(<?xml version="1.0" encoding="GBK"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="html" encoding="GBK"/>
<xsl:template match="/Topic">
<html>
<head>
<title><xsl:value-of select="Title"/> - Lumora 技术社区</title>
<link rel="stylesheet" href="../topic.css"/>
</head>
<body>
<div class="banner">Lumora 技术社区 · 帖子存档</div>
<div class="meta">所在论坛: <b><xsl:value-of select="RoomName"/></b>
  　楼主: <xsl:value-of select="PostUserName"/>
  　回复: <xsl:value-of select="ReplyCount"/>
  　发表于: <xsl:value-of select="PostDateTime"/></div>
<h1><xsl:value-of select="Title"/></h1>
<div class="post"><xsl:for-each select="Content/P"><p><xsl:value-of select="."/></p></xsl:for-each></div>
<xsl:for-each select="Replies/Reply">
<div class="reply"><div class="who"><xsl:value-of select="PostUserName"/> 回复于 <xsl:value-of select="PostDateTime"/></div>
<p><xsl:value-of select="Content"/></p></div>
</xsl:for-each>
</body>
</html>
</xsl:template>
</xsl:stylesheet>
)";

const char *const Logo =
        R"(<svg xmlns="http://www.w3.org/2000/svg" width="64" height="22" viewBox="0 0 64 22">
<rect width="64" height="22" rx="4" fill="#ffffff"/>
<text x="32" y="16" font-family="sans-serif" font-size="13" font-weight="bold" fill="#1f4e79" text-anchor="middle">Lumora</text>
</svg>
)";

std::error_code makePath(const std::string &directory)
{
    std::string built;
    std::size_t start = 0;
    const std::string path = FileSystem::normalize(directory);
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        built = path.substr(0, end);
        if (!built.empty() && !FileSystem::isDirectory(built)) {
            if (std::error_code error = FileSystem::createDirectory(built))
                return error;
        }
        start = end + 1;
    }
    return {};
}

std::error_code writeFile(const std::string &path, const std::string &contents)
{
    const std::string normal = FileSystem::normalize(path);
    if (std::error_code error = makePath(normal.substr(0, normal.rfind('/'))))
        return error;
    return FileSystem::writeWholeFile(normal, contents);
}

} // namespace

std::vector<SamplePost> MakeSamplePosts(RoomModel &rooms, int startRoomPosts)
{
    Random random(20021124);
    struct Slot
    {
        int record;
        bool isXml;
    };
    std::vector<Slot> slots;
    const TreeItem start = rooms.StartRoom();
    for (int i = 0; i < int(rooms.RecordCount()); ++i) {
        const RoomRecord record = rooms.GetRoomRecord(i);
        const int count = record.treeItem == start ? startRoomPosts : random.between(3, 8);
        for (int k = 0; k < count; ++k)
            slots.push_back({i, random.below(5) < 2});
    }
    // Interleave the rooms, as a forum's post IDs are.
    for (std::size_t i = slots.size(); i > 1; --i)
        std::swap(slots[i - 1], slots[std::size_t(random.below(int(i)))]);

    std::uint32_t nextHtml = 1205000;
    std::uint32_t nextXml = 1317807;
    std::vector<SamplePost> posts;
    for (const Slot &slot : slots) {
        const RoomRecord record = rooms.GetRoomRecord(slot.record);
        SamplePost post;
        post.isXml = slot.isXml;
        post.topicid = slot.isXml ? nextXml : nextHtml;
        (slot.isXml ? nextXml : nextHtml) += std::uint32_t(random.between(1, 9));
        post.table = rooms.GetRootTable(record.rootIndex);
        post.roomid = record.roomid;
        post.roomname = record.roomname;
        post.title = makeTitle(random, record.roomname);
        post.username = gbk(random.pick(Users));
        post.reply = random.below(5) == 0 ? 0 : random.between(1, 60);
        post.path =
                rooms.GetExpectedPostPath(post.topicid, record.rootIndex, post.roomid, post.title);
        posts.push_back(std::move(post));
    }
    // Creation times grow with the post IDs.
    std::vector<std::size_t> order(posts.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return posts[a].topicid < posts[b].topicid; });
    int minutes = 0;
    for (std::size_t index : order) {
        SamplePost &post = posts[index];
        minutes += random.between(30, 600);
        const int day = minutes / (24 * 60);
        const int year = post.isXml ? 2003 + day / 336 : 2001 + day / 336;
        post.createtime =
                FormatText("%04d-%02d-%02d %02d:%02d:%02d", year, 1 + (day / 28) % 12, 1 + day % 28,
                           (minutes / 60) % 24, minutes % 60, random.below(60));
    }
    return posts;
}

int WriteSampleArchive(const std::vector<SamplePost> &posts, std::string &why)
{
    int written = 0;
    const auto write = [&](const std::string &path, const std::string &contents) {
        if (std::error_code error = writeFile(path, contents)) {
            why = path + ": " + FileSystem::errorText(error);
            return false;
        }
        ++written;
        return true;
    };
    // The pages refer to their stylesheets as "../", so they go into the folder above
    // each post's folder, wherever the configuration puts the posts.
    std::vector<std::pair<std::string, bool>> styleFolders;
    for (const SamplePost &post : posts) {
        const std::string path = FileSystem::normalize(post.path);
        const std::string folder = path.substr(0, path.rfind('/'));
        const std::pair<std::string, bool> parent {folder.substr(0, folder.rfind('/')), post.isXml};
        if (std::find(styleFolders.begin(), styleFolders.end(), parent) == styleFolders.end())
            styleFolders.push_back(parent);
    }
    for (const auto &[folder, isXml] : styleFolders) {
        const bool done = isXml ? write(FileSystem::join(folder, "topic.css"), XmlStyle)
                        && write(FileSystem::join(folder, "topic.xsl"), gbk(TopicXsl))
                                : write(FileSystem::join(folder, "lumora.css"), HtmlStyle)
                        && write(FileSystem::join(folder, "images/logo.svg"), Logo);
        if (!done)
            return written;
    }
    for (const SamplePost &post : posts) {
        if (!write(post.path, post.isXml ? xmlFile(post) : htmlPage(post)))
            return written;
    }
    return written;
}

int SampleDatabaseHoldsPosts(const std::vector<SamplePost> &posts,
                             const std::string &connectionString, std::string &why)
{
    std::vector<std::string> tables;
    for (const SamplePost &post : posts) {
        if (std::find(tables.begin(), tables.end(), post.table) == tables.end())
            tables.push_back(post.table);
    }
    if (EnsureEmbeddedDatabase(connectionString, tables, why) != 0)
        return -1;
    CAdoManager ado;
    if (ado.OpenAdoConnection(connectionString) != 0) {
        why = ado.LastError();
        return -1;
    }
    int holds = 0;
    for (const std::string &table : tables) {
        std::unique_ptr<CAdoRecordset> rows;
        if (ado.ExecuteSql("select count(*) from " + table, rows, CAdoManager::CommandText) != 0) {
            why = ado.LastError();
            holds = -1;
            break;
        }
        long long count = 0;
        if (rows->Value(0).ToInt64(count) && count > 0) {
            holds = 1;
            break;
        }
    }
    ado.CloseAdoConnection();
    return holds;
}
