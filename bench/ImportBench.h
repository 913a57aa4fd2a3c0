#pragma once

// What the import benchmarks share: generated post files with the five fields the import
// extracts, the settings that read them, a timed import run and fresh databases.

#include "browser/import/ImportRun.h"
#include "browser/import/ImportSink.h"

#include <chrono>
#include <functional>
#include <string>

class PgCluster;
class RoomModel;

namespace ImportBench {

constexpr int Folders = 100;
constexpr const char Table[] = "posts";

[[noreturn]] void die(const std::string &why);

// The page's content after its fields (GBK); empty: about 4 KB of one repeated paragraph.
using BodyMaker = std::function<std::string(long id)>;

// `files` pages in root/posts/<folder>/<id>.htm and root/Configs/InitTree.xml.
void generate(const std::string &root, long files, const BodyMaker &body = {});

ImportSettings benchSettings(const std::string &root, const std::string &connection);

class CountingSink : public ImportSink
{
public:
    void ImportStatus(const std::string &) override { }
    void ImportMessage(const std::string &line) override;
    void ImportMessageBox(const std::string &text, const std::string &details) override;
    long lines = 0;
    std::string last;
    std::chrono::steady_clock::time_point summaryAt;
};

struct Result
{
    double seconds = 0;
    long files = 0;
    long inserted = 0;
    long lines = 0;
    double memoryMb = 0;
    double residentMb = 0; // the process's peak resident memory while it ran
    double rate() const { return seconds > 0 ? files / seconds : 0; }
};

Result runImport(RoomModel &rooms, const ImportSettings &base, const ImportTuning &tuning,
                 bool sampleMemory = false);

// A new, empty database for each run (fresh: its files removed first).
std::string sqliteDatabase(const std::string &root, const char *name, bool fresh = true);
std::string postgresDatabase(PgCluster &cluster, const char *name);

void row(const char *label, const Result &result, const char *note = "");

} // namespace ImportBench
