#include "SearchCorpus.h"

#include "common/Codec.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

// Common words, roughly by frequency.
constexpr const char CommonWords[] =
        "的 了 是 我 不 在 人 有 这 他 也 就 你 都 说 着 一个 没有 我们 什么 自己 可以 "
        "一 上 来 到 时 大 地 为 子 中 们 要 和 会 对 能 而 出 去 那 还 好 看 问题 "
        "因为 所以 如果 但是 已经 还是 现在 知道 觉得 时候 可能 这个 那个 大家 就是 "
        "程序 数据 内存 文件 系统 函数 编译 错误 服务器 数据库 线程 指针 对象 测试 "
        "版本 更新 论坛 帖子 回复 楼主 谢谢 请问 发现 问题 方法 代码 运行 结果 设置 "
        "网络 安装 下载 用户 密码 配置 调试 性能 优化 内核 驱动 硬盘 显卡 内存泄漏 "
        "为什么 怎么样 不知道 有没有 是不是 解决 帮忙 一下 看看 试试 应该 需要 使用";

// Frequent characters, roughly by frequency, for the tail words.
constexpr const char FrequentCharacters[] =
        "的一是在不了有和人这中大为上个国我以要他时来用们生到作地于出就分对成会可主发年动"
        "同工也能下过子说产种面而方后多定行学法所民得经十三之进着等部度家电力里如水化高自"
        "二理起小物现实加量都两体制机当使点从业本去把性好应开它合还因由其些然前外天政四日"
        "那社义事平形相全表间样与关各重新线内数正心反你明看原又么利比或但质气第向道命此变"
        "条只没结解问意建月公无系军很情者最立代想已通并提直题党程展五果料象员革位入常文总"
        "次品式活设及管特件长求老头基资边流路级少图山统接知较将组见计别她手角期根论运农指"
        "几九区强放决西被干做必战先回则任取据处队南给色光门即保治北造百规热领七海口东导器"
        "压志世金增争济阶油思术极交受联什认六共权收证改清己美再采转更单风切打白教速花带安"
        "场身车例真务具万每目至达走积示议声报斗完类八离华名确才科张信马节话米整空元况今集"
        "温传土许步群广石记需段研界拉林律叫且究观越织装影算低持音众书布复容儿须际商非验连";

constexpr const char EnglishWords[] =
        "the of and to in is it that for you with this on not are be as at have or from "
        "linux windows error warning file memory leak thread server client request buffer "
        "kernel driver version update compile build debug release install config network";

constexpr const char Identifiers[] =
        "malloc free printf QString size_t std_vector m_buffer getValue setValue "
        "pthread_mutex_lock memcpy strlen fopen fclose socket recv send "
        "HWND WM_PAINT CreateWindowEx GetLastError sqlite3_prepare_v2 qDebug "
        "onReceiveData parseHeaderV2 kMaxRetryCount tmpFileHandle xorShiftSeed";

std::vector<std::string> splitGbk(const char *utf8)
{
    std::vector<std::string> out;
    for (const QString &w : QString::fromUtf8(utf8).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        out.push_back(Gbk::fromQString(w));
    return out;
}

} // namespace

SearchCorpus::SearchCorpus(quint32 seed)
    : random_(seed)
{
    words_ = splitGbk(CommonWords);
    const QString chars = QString::fromUtf8(FrequentCharacters);
    // The tail: 200,000 words of 2 to 4 characters, drawn with falling character weights
    // (fixed seed, so every run makes the same list).
    QRandomGenerator tail(99);
    for (int i = 0; i < 200000; ++i) {
        const int length = 2 + int(tail.bounded(3));
        QString w;
        for (int k = 0; k < length; ++k) {
            const double r = tail.generateDouble();
            w += chars.at(qsizetype(r * r * double(chars.size())));
        }
        words_.push_back(Gbk::fromQString(w));
    }
    // Zipf weights: 1 / rank.
    double sum = 0;
    for (std::size_t r = 0; r < words_.size(); ++r) {
        sum += 1.0 / double(r + 1);
        cumulative_.push_back(sum);
    }
    english_ = splitGbk(EnglishWords);
    identifiers_ = splitGbk(Identifiers);
}

std::string SearchCorpus::drawWord()
{
    const double x = random_.generateDouble() * cumulative_.back();
    const auto it = std::lower_bound(cumulative_.begin(), cumulative_.end(), x);
    return words_[std::size_t(it - cumulative_.begin())];
}

std::string SearchCorpus::makePost(long long topicid)
{
    static const std::vector<std::string> punctuation = splitGbk("， 。 、 ！ ？ ； ：");
    std::string page = "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                       "charset=gb2312\"><title>"
            + drawWord() + drawWord() + "</title><link rel=\"stylesheet\" href=\"../post.css\">"
            + "</head><body><div class=\"title\">" + drawWord() + drawWord()
            + "</div><div class=\"info\">topicid " + std::to_string(topicid)
            + "</div><div class=\"content\"><p>";
    while (page.size() < 3900) {
        const int kind = int(random_.bounded(100));
        if (kind < 4) {
            page += " " + english_[random_.bounded(int(english_.size()))] + " ";
        } else if (kind < 5) {
            // Identifiers: a few common, most rare.
            const double r = random_.generateDouble();
            page += " " + identifiers_[std::size_t(r * r * r * double(identifiers_.size()))]
                    + "() ";
        } else if (kind < 16) {
            page += punctuation[random_.bounded(int(punctuation.size()))];
        } else if (kind < 17) {
            page += "</p><p>";
        } else {
            page += drawWord();
        }
    }
    page += "</p><pre>int main() { return " + std::to_string(topicid % 97)
            + "; }</pre></div><script>var shown = 1;</script></body></html>";
    return page;
}

std::vector<std::string> SearchCorpus::commonWords() const
{
    std::vector<std::string> out;
    for (const std::string &w : words_) {
        if (out.size() == 24)
            break;
        if (w.size() <= 4)
            out.push_back(w);
    }
    return out;
}

std::vector<std::string> SearchCorpus::tailWords(int count) const
{
    std::vector<std::string> out;
    // Spread over the far tail, 3 or 4 characters long.
    for (std::size_t r = words_.size() / 4; r < words_.size() && int(out.size()) < count;
         r += (words_.size() * 3 / 4) / std::size_t(count) + 1) {
        if (words_[r].size() >= 6)
            out.push_back(words_[r]);
    }
    return out;
}

std::vector<std::string> SearchCorpus::identifiers() const
{
    return identifiers_;
}
