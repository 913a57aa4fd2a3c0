#pragma once

#include <filesystem>
#include <istream>
#include <map>
#include <set>
#include <string>
#include <vector>

// The layers as the build declares them: for each target its files and the targets it
// may include from (itself and what it links, transitively), and the folders an include
// is looked up in after the including file's own.
struct LayerManifest
{
    struct Target
    {
        std::set<std::string> links;
        std::vector<std::filesystem::path> files;
    };
    std::vector<std::filesystem::path> roots;
    std::map<std::string, Target> targets;
};

// Reads the manifest the configure writes ("root", "target", "links", "file" lines).
// Returns false with a message on a line it does not understand.
bool ReadLayerManifest(std::istream &in, LayerManifest &manifest, std::string &problem);

// One include of a header whose owners the including target does not link.
struct LayerViolation
{
    std::filesystem::path file;
    int line = 0;
    std::string target;
    std::string header;
    std::set<std::string> owners;
};

std::string DescribeViolation(const LayerViolation &violation);

// Reads every file of every target and returns the includes that cross the layers:
// a quoted include that resolves to a header owned only by targets the including
// target does not link. Files that cannot be read are reported in `unreadable`.
std::vector<LayerViolation> FindLayerViolations(const LayerManifest &manifest,
                                                std::vector<std::string> &unreadable);
