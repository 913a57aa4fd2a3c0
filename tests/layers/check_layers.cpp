// Fails when a target includes a header of a target it does not link.
//   check_layers MANIFEST
#include "IncludeLayers.h"

#include <fstream>
#include <iostream>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::cerr << "usage: check_layers MANIFEST\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::cerr << "cannot read the manifest " << argv[1] << "\n";
        return 2;
    }
    LayerManifest manifest;
    std::string problem;
    if (!ReadLayerManifest(in, manifest, problem)) {
        std::cerr << problem << "\n";
        return 2;
    }
    std::vector<std::string> unreadable;
    const std::vector<LayerViolation> violations = FindLayerViolations(manifest, unreadable);
    for (const std::string &file : unreadable)
        std::cerr << file << ": cannot be read\n";
    for (const LayerViolation &violation : violations)
        std::cerr << DescribeViolation(violation) << "\n";
    std::size_t files = 0;
    for (const auto &entry : manifest.targets)
        files += entry.second.files.size();
    std::cout << manifest.targets.size() << " targets, " << files << " files, " << violations.size()
              << " includes across the layers\n";
    return violations.empty() && unreadable.empty() ? 0 : 1;
}
