#include "SearchTestHelpers.h"
#include "TestRegistry.h"

#include "browser/search/BodySnippet.h"
#include "browser/search/PostText.h"
#include "browser/search/SearchQuery.h"

#include <QTest>

namespace {

SearchQuery parsed(const char *utf8)
{
    SearchQuery query;
    std::string problem;
    if (!ParseSearchQuery(gbk(utf8), query, problem))
        qWarning("%s", qPrintable(show(problem)));
    return query;
}

QString patterns(const SearchQuery &query)
{
    QStringList out;
    for (const SearchTerm &t : query.terms)
        out << QLatin1String(t.excluded ? "-[" : "[") + show(TermPattern(t)) + QLatin1String("]");
    return out.join(QLatin1Char(','));
}

} // namespace

class TestSearchQuery : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void terms_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("patterns");
        QTest::newRow("and") << "数据库 内存"
                             << "[数据库],[内存]";
        QTest::newRow("word whole") << "Malloc"
                                    << "[ malloc ]";
        QTest::newRow("phrase") << "\"hello 世界\""
                                << "[ hello 世界]";
        QTest::newRow("chinese quotes") << "“内存 泄漏” -free"
                                        << "[内存 泄漏],-[ free ]";
        QTest::newRow("punctuation joins") << "e-mail foo.bar()"
                                           << "[ e mail ],[ foo bar ]";
        QTest::newRow("mixed piece") << "版本1.2"
                                     << "[版本 1 2 ]";
        QTest::newRow("percent and underscore") << "a%b _x"
                                                << "[ a b ],[ _x ]";
        QTest::newRow("apostrophe and backslash") << "it's c:\\dir"
                                                  << "[ it s ],[ c dir ]";
        QTest::newRow("trail byte 0x5c") << "乗"
                                         << "[乗]";
        QTest::newRow("lone punctuation dropped") << "内存 ++ ，"
                                                  << "[内存]";
    }

    void terms()
    {
        QFETCH(QString, query);
        QFETCH(QString, patterns);
        QCOMPARE(::patterns(parsed(query.toUtf8().constData())), patterns);
    }

    void refused_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << "   "
                               << "请输入";
        QTest::newRow("punctuation") << "%%% ，。 \\ '"
                                     << "只有标点";
        QTest::newRow("unbalanced") << "\"内存 泄漏"
                                    << "引号没有配对";
        QTest::newRow("unbalanced chinese") << "内存 “泄漏"
                                            << "引号没有配对";
        QTest::newRow("only exclusions") << "-内存 -free"
                                         << "只有排除";
    }

    void refused()
    {
        QFETCH(QString, query);
        QFETCH(QString, message);
        SearchQuery q;
        std::string problem;
        QVERIFY(!ParseSearchQuery(gbk(query.toUtf8().constData()), q, problem));
        QVERIFY2(show(problem).contains(message), qPrintable(show(problem)));
        QVERIFY(q.terms.empty());
    }

    // The index terms of the term kinds, and which of them the index answers alone; the
    // index's own tests prove them exact.
    void indexTerms()
    {
        const SearchQuery q = parsed("\"数据 x 库\" 的 数据库 数据 Malloc 据数据");
        QCOMPARE(q.terms.size(), std::size_t(6));
        auto terms = [&](std::size_t i, bool &exact) {
            QStringList out;
            for (const std::string &t : IndexTermsOf(q.terms[i], exact))
                out << show(t);
            return out.join(u'|');
        };
        bool exact = true;
        QCOMPARE(terms(0, exact), QString::fromUtf8("x|库|数据"));
        QVERIFY(!exact); // a phrase: its terms may stand apart
        QCOMPARE(terms(1, exact), QString::fromUtf8("的"));
        QVERIFY(exact);
        QCOMPARE(terms(2, exact), QString::fromUtf8("据库|数据"));
        QVERIFY(!exact); // three characters: the pairs may come from different runs
        QCOMPARE(terms(3, exact), QString::fromUtf8("数据"));
        QVERIFY(exact);
        QCOMPARE(terms(4, exact), QString::fromUtf8("malloc"));
        QVERIFY(exact);
        QCOMPARE(terms(5, exact), QString::fromUtf8("据数|数据")); // "数据" once
        QVERIFY(!exact);
    }

    // The reference used by the exactness tests and the pattern the engines check with
    // agree on every element boundary case.
    void patternAgreesWithDefinition()
    {
        const std::string text =
                ExtractPostText(gbk("ab 数据库，内存 xyz 泄漏 库存 hello数据")).text;
        const char *queries[] = {"数据",
                                 "据库",
                                 "数据库内",
                                 "\"库 内存\"",
                                 "\"据库 内\"",
                                 "\"内存 xyz\"",
                                 "\"存 xyz 泄\"",
                                 "\"xyz 泄漏\"",
                                 "\"ab 数\"",
                                 "b",
                                 "hello",
                                 "\"hello 数据\"",
                                 "\"hello 数\"",
                                 "库",
                                 "\"漏 库\"",
                                 "\"漏 存\"",
                                 "xy",
                                 "\"库 存\""};
        const QString normal = show(text);
        for (const char *q : queries) {
            const SearchQuery query = parsed(q);
            const bool byPattern = normal.contains(show(TermPattern(query.terms[0])));
            QVERIFY2(byPattern == SearchTest::queryMatches(text, query), q);
        }
    }

    // The hit in the page's own letters and punctuation, marked, with the text around.
    void snippets()
    {
        const std::string page = gbk("<html><body><p>第一段：关于 Malloc 的讨论。</p><p>这里出现了"
                                     "内存泄漏(Memory Leak)，请大家帮忙看看。</p></body></html>");
        BodySnippet s = MakeBodySnippet(page, parsed("\"memory leak\""), 6);
        QVERIFY(s.found);
        QCOMPARE(show(MarkedSnippet(s)),
                 QString::fromUtf8("…了内存泄漏(【Memory Leak】)，请大家帮…"));
        s = MakeBodySnippet(page, parsed("帮忙 -无关 malloc"), 4);
        QCOMPARE(show(MarkedSnippet(s)), QString::fromUtf8("…：关于 【Malloc】 的讨论…"));
        QCOMPARE(show(s.text.substr(s.markBegin, s.markEnd - s.markBegin)),
                 QString::fromUtf8("Malloc"));
        // Full-width letters in the page, plain ones in the query.
        s = MakeBodySnippet(gbk("<p>ＡＢＣ测试</p>"), parsed("abc"), 10);
        QCOMPARE(show(MarkedSnippet(s)), QString::fromUtf8("【ＡＢＣ】测试"));
        s = MakeBodySnippet(page, parsed("不存在"), 5);
        QVERIFY(!s.found);
        QVERIFY(show(s.text).startsWith(QString::fromUtf8("第一段")));
    }
};

QUILLERY_REGISTER_TEST(TestSearchQuery)
#include "tst_SearchQuery.moc"
