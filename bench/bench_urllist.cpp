// The whole HTML range of a download list (IDs 1 to 1317806), written by Garnet's
// generation and by a plain std::ofstream loop producing the same bytes.
//   bench/bench_urllist [runs]      (from build/; writes into a temporary folder there)

#include "common/AppDirectory.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "urllist/UrlListGeneration.h"
#include "urllist/UrlTemplateTable.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::int32_t FirstId = 1;
constexpr std::int32_t LastId = LastHtmlPostId;

double seconds(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double runGarnet(const UrlTemplateTable &table, const std::string &path)
{
    UrlListRequest request;
    request.format = HtmlFormat;
    request.lineTemplate = table[HtmlFormat].lineTemplate;
    request.firstId = FirstId;
    request.lastId = LastId;
    request.outputPath = path;
    const auto start = Clock::now();
    const UrlListResult result = GenerateUrlListFile(table, request);
    const double elapsed = seconds(start);
    if (result.outcome != UrlListOutcome::Written) {
        std::fprintf(stderr, "generation failed: %s\n", Gbk::toUtf8(result.text).c_str());
        std::exit(1);
    }
    return elapsed;
}

double runOfstream(const std::string &prefix, const std::string &path)
{
    const auto start = Clock::now();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        for (std::int32_t id = FirstId; id <= LastId; ++id)
            out << prefix << id << "\r\n";
        if (!out) {
            std::fprintf(stderr, "ofstream failed\n");
            std::exit(1);
        }
    }
    return seconds(start);
}

} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    char pattern[] = "bench_urllist.XXXXXX";
    if (!::mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path folder = std::filesystem::absolute(pattern);
    // The built-in template with the default server: no Configs/ in the folder.
    SetAppDirectoryOverride(folder.string());
    const UrlTemplateTable table = BuildUrlTemplateTable("https://www.lumora.example");
    const std::string prefix = "https://www.lumora.example/expert/buildtopic1.asp?id=";
    const std::string garnetPath = (folder / "garnet.lst").string();
    const std::string plainPath = (folder / "ofstream.lst").string();

    double bestGarnet = 1e9;
    double bestPlain = 1e9;
    for (int run = 0; run < runs; ++run) {
        bestGarnet = std::min(bestGarnet, runGarnet(table, garnetPath));
        bestPlain = std::min(bestPlain, runOfstream(prefix, plainPath));
    }

    std::string garnetBytes;
    std::string plainBytes;
    FileSystem::readWholeFile(garnetPath, garnetBytes);
    FileSystem::readWholeFile(plainPath, plainBytes);
    std::filesystem::remove_all(folder);
    if (garnetBytes != plainBytes || garnetBytes.empty()) {
        std::fprintf(stderr, "the two lists differ (%zu and %zu bytes)\n", garnetBytes.size(),
                     plainBytes.size());
        return 1;
    }

    const double megabytes = double(garnetBytes.size()) / 1e6;
    std::printf("download list, IDs %d to %d: %zu bytes, best of %d runs\n", FirstId, LastId,
                garnetBytes.size(), runs);
    std::printf("  Garnet generation   %7.3f s  %8.1f MB/s\n", bestGarnet, megabytes / bestGarnet);
    std::printf("  std::ofstream loop  %7.3f s  %8.1f MB/s\n", bestPlain, megabytes / bestPlain);
    std::printf("  ratio (Garnet / ofstream rate): %.2f\n", bestPlain / bestGarnet);
    return 0;
}
