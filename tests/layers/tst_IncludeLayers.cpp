#include "IncludeLayers.h"
#include "TestRegistry.h"

#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

void write(const fs::path &file, const std::string &text)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

// A small tree: lib/ owned by `lib`, app/ by `app` which links `lib`, and other/ by
// `other` which links nothing.
struct Tree
{
    fs::path root;
    LayerManifest manifest;

    explicit Tree(const fs::path &where)
        : root(where)
    {
        write(root / "lib/Lib.h", "#pragma once\n#include \"Helper.h\"\n");
        write(root / "lib/Helper.h", "#pragma once\n");
        write(root / "lib/Lib.cpp", "#include \"Lib.h\"\n");
        write(root / "app/App.cpp",
              "#include \"lib/Lib.h\"\n#include <vector>\n#include \"QtCore\"\n");
        write(root / "other/Other.cpp", "// uses the library\n\n  #  include \"lib/Lib.h\"\n");
        manifest.roots = {root};
        manifest.targets["lib"] = {
                {"lib"}, {root / "lib/Lib.h", root / "lib/Helper.h", root / "lib/Lib.cpp"}};
        manifest.targets["app"] = {{"app", "lib"}, {root / "app/App.cpp"}};
        manifest.targets["other"] = {{"other"}, {root / "other/Other.cpp"}};
    }
};

} // namespace

class TestIncludeLayers : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void namesTheFileAndLineOfAnIncludeAcrossTheLayers()
    {
        QTemporaryDir dir;
        Tree tree(dir.path().toStdString());
        std::vector<std::string> unreadable;
        const auto violations = FindLayerViolations(tree.manifest, unreadable);
        QVERIFY(unreadable.empty());
        // The linked include of app, the sibling include inside lib and the headers no
        // target owns pass; only other's include (on line 3, indented) is reported.
        QCOMPARE(violations.size(), std::size_t(1));
        QCOMPARE(violations[0].line, 3);
        QCOMPARE(violations[0].target, std::string("other"));
        QCOMPARE(DescribeViolation(violations[0]),
                 (tree.root / "other/Other.cpp").string()
                         + ":3: other includes \"lib/Lib.h\" of lib, which it does not link");
    }

    void followsAnIncludeBesideTheFileBeforeTheRoots()
    {
        QTemporaryDir dir;
        Tree tree(dir.path().toStdString());
        // "Helper.h" beside other/ resolves to lib's header only by a relative path.
        write(tree.root / "other/Other.cpp", "#include \"../lib/Helper.h\"\n");
        std::vector<std::string> unreadable;
        auto violations = FindLayerViolations(tree.manifest, unreadable);
        QCOMPARE(violations.size(), std::size_t(1));
        QCOMPARE(violations[0].header, std::string("../lib/Helper.h"));
        // A file of other's own with the same name wins over the root.
        write(tree.root / "other/lib/Lib.h", "#pragma once\n");
        write(tree.root / "other/Other.cpp", "#include \"lib/Lib.h\"\n");
        violations = FindLayerViolations(tree.manifest, unreadable);
        QVERIFY(violations.empty());
    }

    void aLinkOrASharedHeaderAllowsTheInclude()
    {
        QTemporaryDir dir;
        Tree tree(dir.path().toStdString());
        std::vector<std::string> unreadable;
        tree.manifest.targets["other"].links.insert("lib");
        QVERIFY(FindLayerViolations(tree.manifest, unreadable).empty());
        // A header listed by two targets may be included by a target that links either.
        tree.manifest.targets["other"].links.erase("lib");
        write(tree.root / "other/Other.cpp", "#include \"lib/Helper.h\"\n");
        QVERIFY(!FindLayerViolations(tree.manifest, unreadable).empty());
        tree.manifest.targets["other"].files.push_back(tree.root / "lib/Helper.h");
        QVERIFY(FindLayerViolations(tree.manifest, unreadable).empty());
    }

    void reportsUnreadableFilesAndBadManifests()
    {
        QTemporaryDir dir;
        Tree tree(dir.path().toStdString());
        fs::remove(tree.root / "app/App.cpp");
        std::vector<std::string> unreadable;
        QVERIFY(FindLayerViolations(tree.manifest, unreadable).size() == 1);
        QCOMPARE(unreadable, std::vector<std::string> {(tree.root / "app/App.cpp").string()});

        LayerManifest manifest;
        std::string problem;
        std::istringstream good(
                "root /r\nroot /r/\ntarget a\nlinks a b\nfile /r/a/A.h\n\ntarget b\n");
        QVERIFY(ReadLayerManifest(good, manifest, problem));
        QCOMPARE(manifest.roots.size(), std::size_t(1));
        QCOMPARE(manifest.targets["a"].links, (std::set<std::string> {"a", "b"}));
        QCOMPARE(manifest.targets["a"].files.size(), std::size_t(1));
        // A file before any target is a broken manifest, not an empty one.
        std::istringstream bad("root /r\nfile /r/a/A.h\n");
        QVERIFY(!ReadLayerManifest(bad, manifest, problem));
        QCOMPARE(problem, std::string("line 2 of the manifest is not understood: file /r/a/A.h"));
    }
};

QUILLERY_REGISTER_TEST(TestIncludeLayers)
#include "tst_IncludeLayers.moc"
