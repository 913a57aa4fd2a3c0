#include "PlaceholderSpy.h"
#include "TestRegistry.h"
#include "TestSupport.h"

#include "common/TemplateExpansion.h"
#include "urllist/UrlPlaceholder.h"

namespace {
std::string expand(const std::string &text, std::int32_t id)
{
    std::string out;
    ExpandTemplate(text, out, nullptr, id, ResolveUrlPlaceholder);
    return out;
}
} // namespace

class TestUrlPlaceholder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { dir_ = std::make_unique<TempAppDir>(); }
    void cleanup() { dir_.reset(); }

    void idForms_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("whole") << 1317000 << QByteArray("|ID|") << QByteArray("1317000");
        QTest::newRow("multiple of 1000, first 4")
                << 1317000 << QByteArray("|ID4|") << QByteArray("1316");
        QTest::newRow("multiple of 1000, last 3")
                << 1317000 << QByteArray("|ID-3|") << QByteArray("000");
        QTest::newRow("1318000 in 1317")
                << 1318000 << QByteArray("|ID4|/|ID|") << QByteArray("1317/1318000");
        QTest::newRow("1317999") << 1317999 << QByteArray("|ID4|") << QByteArray("1317");
        QTest::newRow("1318001") << 1318001 << QByteArray("|ID4|") << QByteArray("1318");
        QTest::newRow("first 2") << 12345 << QByteArray("|ID2|") << QByteArray("12");
        QTest::newRow("last 2") << 12345 << QByteArray("|ID-2|") << QByteArray("45");
        QTest::newRow("more than the digits")
                << 12345 << QByteArray("|ID9|") << QByteArray("12345");
        QTest::newRow("zero count") << 12000 << QByteArray("|ID0|") << QByteArray("12000");
        QTest::newRow("1000 itself") << 1000 << QByteArray("|ID2|") << QByteArray("0");
        QTest::newRow("signed") << -5 << QByteArray("|ID|") << QByteArray("-5");
    }

    void idForms()
    {
        QFETCH(int, id);
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, expected);
        QCOMPARE(QByteArray::fromStdString(expand(text.toStdString(), id)), expected);
    }

    void otherPlaceholders()
    {
        PlaceholderSpy spy;
        QCOMPARE(expand("|APP_PATH|Configs", 1), dir_->path() + "/Configs");
        QCOMPARE(expand("|NEWLINE||ENTER|", 1), std::string("\r\n"));
        QCOMPARE(expand("a|TAB||id||TITLE|b", 1), std::string("ab"));
        QVERIFY(spy.reports().empty()); // dropped silently
    }

private:
    std::unique_ptr<TempAppDir> dir_;
};

QUILLERY_REGISTER_TEST(TestUrlPlaceholder)
#include "tst_UrlPlaceholder.moc"
