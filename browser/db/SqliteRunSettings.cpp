#include "SqliteRunSettings.h"

#include "CAdoManager.h"
#include "WalCheckpointer.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr long Options = CAdoManager::CommandText;
// A page changed by many commits is copied once per copy: the fewer copies, the less
// they write (the log grows to about 120 MB on disk before one).
constexpr int BackgroundFrames = 30000;
constexpr int WriterFrames = 65536;

} // namespace

SqliteRunSettings::SqliteRunSettings(CAdoManager &ado, bool sqlite, int cacheKib)
    : ado_(ado)
    , settings_ {{"cache_size", "-" + std::to_string(cacheKib), {}},
                 {"temp_store", "2", {}},
                 // The log is not cut back to a few megabytes each time it starts over:
                 // the file system would free its blocks and clear them again as it grows.
                 {"journal_size_limit", "-1", {}},
                 {"wal_autocheckpoint", {}, {}}}
{
    if (!sqlite)
        return;
    for (Setting &setting : settings_) {
        std::unique_ptr<CAdoRecordset> rows;
        long long value = 0;
        if (ado_.ExecuteSql(std::string("PRAGMA ") + setting.name, rows, Options) != 0 || !rows
            || rows->IsEOF() || !rows->Value(0).ToInt64(value))
            continue;
        setting.before = std::to_string(value);
        autoFrames_ = value; // the last one read
        if (!setting.during.empty())
            ado_.ExecuteSql(std::string("PRAGMA ") + setting.name + " = " + setting.during,
                            Options);
    }
    if (settings_[std::size(settings_) - 1].before.empty())
        return;
    checkpointer_ = ado_.CheckpointInBackground(BackgroundFrames, WriterFrames,
                                                int(std::clamp(autoFrames_, -1LL, 1LL << 30)));
    if (!checkpointer_ || !checkpointer_->running()) {
        checkpointer_.reset();
        ado_.ExecuteSql("PRAGMA wal_autocheckpoint = " + std::to_string(WriterFrames), Options);
        writerCheckpoints_ = true;
    }
}

SqliteRunSettings::~SqliteRunSettings()
{
    checkpointer_.reset(); // copies back the rest and puts back the writer's own
    if (writerCheckpoints_) {
        ado_.ExecuteSql("PRAGMA wal_checkpoint(PASSIVE)", Options);
        ado_.ExecuteSql("PRAGMA wal_autocheckpoint = " + settings_[std::size(settings_) - 1].before,
                        Options);
    }
    for (const Setting &setting : settings_) {
        if (!setting.before.empty() && !setting.during.empty())
            ado_.ExecuteSql(std::string("PRAGMA ") + setting.name + " = " + setting.before,
                            Options);
    }
}
