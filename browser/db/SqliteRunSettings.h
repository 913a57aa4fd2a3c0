#pragma once

// SQLite's settings for the length of a long write run on one connection, put back as
// they were afterwards (the connection stays open for the caller):
//   - a page cache of the size the run asks for, where the default of 2 MB would read
//     the pages of a growing index back from the file system for almost every insert;
//   - sorting for an index kept in memory;
//   - the log kept at the size it reaches, where the file system would otherwise free its
//     blocks each time it starts over and clear them again as it grows back;
//   - the log copied back into the file on a thread of its own once it holds 120 MB, so
//     the writer does not wait for the copy and its syncs; a commit copies back itself
//     only past 256 MB (the copies fell behind), as it did before with nothing beside
//     it. What the log holds at the end is copied back before the run returns, so no
//     run leaves that work to the next.
// A setting that cannot be read or made only costs speed. Nothing at all on another
// engine.

#include <memory>
#include <string>

class CAdoManager;
class WalCheckpointer;

class SqliteRunSettings
{
public:
    // cacheKib: the page cache during the run, in KiB.
    SqliteRunSettings(CAdoManager &ado, bool sqlite, int cacheKib);
    ~SqliteRunSettings();
    SqliteRunSettings(const SqliteRunSettings &) = delete;
    SqliteRunSettings &operator=(const SqliteRunSettings &) = delete;

private:
    struct Setting
    {
        const char *name;
        std::string during; // empty: only read
        std::string before; // empty: not read, so not changed
    };
    CAdoManager &ado_;
    Setting settings_[4];
    long long autoFrames_ = 0; // wal_autocheckpoint before the run
    std::unique_ptr<WalCheckpointer> checkpointer_;
    bool writerCheckpoints_ = false;
};
