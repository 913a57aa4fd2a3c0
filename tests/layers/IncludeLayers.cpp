#include "IncludeLayers.h"

#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

bool ReadLayerManifest(std::istream &in, LayerManifest &manifest, std::string &problem)
{
    std::string line;
    LayerManifest::Target *current = nullptr;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.empty())
            continue;
        const auto space = line.find(' ');
        const std::string key = line.substr(0, space);
        const std::string value =
                space == std::string::npos ? std::string() : line.substr(space + 1);
        if (key == "root") {
            fs::path root = fs::path(value).lexically_normal();
            if (!root.has_filename() && root.has_parent_path() && root != root.root_path())
                root = root.parent_path();
            bool known = false;
            for (const fs::path &seen : manifest.roots)
                known = known || seen == root;
            if (!known)
                manifest.roots.push_back(root);
        } else if (key == "target" && !value.empty()) {
            current = &manifest.targets[value];
        } else if (key == "links" && current) {
            std::istringstream names(value);
            for (std::string name; names >> name;)
                current->links.insert(name);
        } else if (key == "file" && current && !value.empty()) {
            current->files.push_back(fs::path(value).lexically_normal());
        } else {
            problem = "line " + std::to_string(number)
                    + " of the manifest is not understood: " + line;
            return false;
        }
    }
    return true;
}

std::string DescribeViolation(const LayerViolation &violation)
{
    std::string owners;
    for (const std::string &owner : violation.owners)
        owners += (owners.empty() ? "" : ", ") + owner;
    return violation.file.string() + ":" + std::to_string(violation.line) + ": " + violation.target
            + " includes \"" + violation.header + "\" of " + owners + ", which it does not link";
}

namespace {

// Where the compiler would find a quoted include: beside the including file, then in
// the roots in order.
// The header of a line `#include "name"` (blanks allowed around the '#'), or "".
std::string QuotedInclude(const std::string &line)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    std::size_t at = 0;
    while (at < line.size() && blank(line[at]))
        ++at;
    if (at == line.size() || line[at] != '#')
        return {};
    ++at;
    while (at < line.size() && blank(line[at]))
        ++at;
    if (line.compare(at, 7, "include") != 0)
        return {};
    at += 7;
    while (at < line.size() && blank(line[at]))
        ++at;
    if (at == line.size() || line[at] != '"')
        return {};
    const std::size_t end = line.find('"', at + 1);
    if (end == std::string::npos || end == at + 1)
        return {};
    return line.substr(at + 1, end - at - 1);
}

fs::path Resolve(const fs::path &including, const std::string &header,
                 const std::vector<fs::path> &roots)
{
    std::error_code error;
    const fs::path beside = (including.parent_path() / header).lexically_normal();
    if (fs::is_regular_file(beside, error))
        return beside;
    for (const fs::path &root : roots) {
        const fs::path found = (root / header).lexically_normal();
        if (fs::is_regular_file(found, error))
            return found;
    }
    return {};
}

} // namespace

std::vector<LayerViolation> FindLayerViolations(const LayerManifest &manifest,
                                                std::vector<std::string> &unreadable)
{
    std::map<fs::path, std::set<std::string>> owners;
    for (const auto &[name, target] : manifest.targets)
        for (const fs::path &file : target.files)
            if (file.extension() == ".h")
                owners[file].insert(name);

    std::vector<LayerViolation> violations;
    for (const auto &[name, target] : manifest.targets) {
        for (const fs::path &file : target.files) {
            std::ifstream in(file);
            if (!in) {
                unreadable.push_back(file.string());
                continue;
            }
            std::string text;
            for (int number = 1; std::getline(in, text); ++number) {
                const std::string included = QuotedInclude(text);
                if (included.empty())
                    continue;
                const fs::path header = Resolve(file, included, manifest.roots);
                const auto owned = owners.find(header);
                if (owned == owners.end())
                    continue; // Qt, the standard library, moc output, a test's own helper
                bool allowed = owned->second.contains(name);
                for (const std::string &owner : owned->second)
                    allowed = allowed || target.links.contains(owner);
                if (!allowed)
                    violations.push_back({file, number, name, included, owned->second});
            }
        }
    }
    return violations;
}
