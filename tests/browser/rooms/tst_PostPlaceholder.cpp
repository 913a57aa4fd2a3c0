#include "PlaceholderSpy.h"
#include "TestRegistry.h"
#include "TestSupport.h"

#include "browser/rooms/PostPathContext.h"
#include "browser/rooms/PostPlaceholder.h"
#include "common/RoomConversion.h"
#include "common/TemplateExpansion.h"

namespace {
std::string expand(const std::string &text, std::int32_t kind, void *context = nullptr)
{
    std::string out;
    ExpandTemplate(text, out, context, kind, ResolvePostPlaceholder);
    return out;
}
} // namespace

class TestPostPlaceholder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { dir_ = std::make_unique<TempAppDir>(); }
    void cleanup() { dir_.reset(); }

    void commonSetInEveryKind()
    {
        PostPathContext post;
        const std::string missing = "/x";
        for (std::int32_t kind : {commonKind, notFoundKind, postKind}) {
            void *context = kind == postKind ? static_cast<void *>(&post)
                    : kind == notFoundKind   ? const_cast<std::string *>(&missing)
                                             : nullptr;
            PlaceholderSpy spy;
            QCOMPARE(expand("|APP_PATH|Configs", kind, context), dir_->path() + "Configs");
            QCOMPARE(expand("|NEWLINE||ENTER|", kind, context), std::string("\r\n"));
            QCOMPARE(expand("a|TAB|b", kind, context), std::string("a\tb"));
            QVERIFY(spy.reports().empty());
        }
    }

    void postPlaceholdersOutsidePostKindAreUnknown()
    {
        PlaceholderSpy spy;
        QCOMPARE(expand("a|ROOMNAME|b", commonKind), std::string("ab"));
        QCOMPARE(expand("|ID|", notFoundKind), std::string());
        QCOMPARE(expand("|NOT_FOUND_PATH|", commonKind), std::string());
        QCOMPARE(spy.reports(),
                 (std::vector<std::string> {"|ROOMNAME|", "|ID|", "|NOT_FOUND_PATH|"}));
    }

    void notFoundPathTakesContextText()
    {
        PlaceholderSpy spy;
        std::string path = gbk("/档案/1.htm");
        QCOMPARE(expand("<p>|NOT_FOUND_PATH|</p>", notFoundKind, &path), "<p>" + path + "</p>");
        std::string empty;
        QCOMPARE(expand("[|NOT_FOUND_PATH|]", notFoundKind, &empty), std::string("[]"));
        QVERIFY(spy.reports().empty());
    }

    void idPlaceholdersOfTopicId_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("ID") << QByteArray("|ID|") << QByteArray("12345");
        QTest::newRow("ID2") << QByteArray("|ID2|") << QByteArray("12");
        QTest::newRow("ID-2") << QByteArray("|ID-2|") << QByteArray("45");
        QTest::newRow("ID9") << QByteArray("|ID9|") << QByteArray("12345");
        QTest::newRow("ID0") << QByteArray("|ID0|") << QByteArray("12345");
        QTest::newRow("IDENT") << QByteArray("|IDENT|") << QByteArray("12345");
        QTest::newRow("path") << QByteArray("|APP_PATH|/p/|ID2|/|ID|.htm")
                              << QByteArray("APP/p/12/12345.htm");
    }

    void idPlaceholdersOfTopicId()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, expected);
        PostPathContext post;
        post.topicid = 12345;
        const std::string result = expand(text.toStdString(), postKind, &post);
        QCOMPARE(result,
                 std::string(expected.replace("APP", QByteArray::fromStdString(dir_->path()))));
    }

    void postFields()
    {
        PlaceholderSpy spy;
        PostPathContext post;
        post.topicid = 4294967295u; // unsigned
        post.roomid = 4000000000u;
        post.roomname = gbk("技术讨论区");
        post.title = gbk("标题|不算");
        post.roomNamePath = gbk("甲\\乙");
        post.roomIdPath = "1\\12";
        QCOMPARE(expand("|ID|-|ROOMID|", postKind, &post), std::string("4294967295-4000000000"));
        QCOMPARE(expand("|ROOMNAME|", postKind, &post), post.roomname);
        QCOMPARE(expand("|TITLE|", postKind, &post), post.title);
        QCOMPARE(expand("|ROOMNAME_PATH|/|ROOMID_PATH|", postKind, &post), gbk("甲\\乙/1\\12"));
        QVERIFY(spy.reports().empty());
        QCOMPARE(expand("|id|.|Title|", postKind, &post), std::string("."));
        QCOMPARE(spy.reports(), (std::vector<std::string> {"|id|", "|Title|"}));
    }

    void conversionNamesGetTab()
    {
        PlaceholderSpy spy;
        dir_->write("RoomID-Name.txt", "3<room|TAB|one\r\n");
        std::vector<std::string> ids, names;
        LoadRoomConversion(ids, names, ResolvePostPlaceholder);
        QCOMPARE(names, std::vector<std::string> {"room\tone"});
        QVERIFY(spy.reports().empty());
    }

private:
    std::unique_ptr<TempAppDir> dir_;
};

QUILLERY_REGISTER_TEST(TestPostPlaceholder)
#include "tst_PostPlaceholder.moc"
