#include "PlaceholderSpy.h"
#include "TestRegistry.h"
#include "TestSupport.h"

#include "classifier/ClassifierPlaceholder.h"
#include "common/RoomConversion.h"
#include "common/TemplateExpansion.h"

namespace {
std::string expand(const std::string &text)
{
    std::string out;
    ExpandTemplate(text, out, nullptr, commonKind, ResolveClassifierPlaceholder);
    return out;
}
} // namespace

class TestClassifierPlaceholder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { dir_ = std::make_unique<TempAppDir>(); }
    void cleanup() { dir_.reset(); }

    void knownPlaceholders()
    {
        PlaceholderSpy spy;
        QCOMPARE(expand("|APP_PATH|Configs"), dir_->path() + "Configs");
        QCOMPARE(expand("|NEWLINE||ENTER|"), std::string("\r\n"));
        // Known, but Sorrel's expansions carry no post: no value, no message.
        QCOMPARE(expand("a|TITLE||ID||ID4||NOT_FOUND_PATH|b"), std::string("ab"));
        QVERIFY(spy.reports().empty());
    }

    void tabIsUnknown()
    {
        PlaceholderSpy spy;
        dir_->write("RoomID-Name.txt", "3<room|TAB|one\r\n");
        std::vector<std::string> ids, names;
        LoadRoomConversion(ids, names, ResolveClassifierPlaceholder);
        QCOMPARE(names, std::vector<std::string> {"roomone"});
        QCOMPARE(spy.reports(), std::vector<std::string> {"|TAB|"});
    }

private:
    std::unique_ptr<TempAppDir> dir_;
};

QUILLERY_REGISTER_TEST(TestClassifierPlaceholder)
#include "tst_ClassifierPlaceholder.moc"
