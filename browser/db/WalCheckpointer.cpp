#include "WalCheckpointer.h"

#include "DbConnection.h"

#include <sqlite3.h>

#include <system_error>

WalCheckpointer::WalCheckpointer(std::shared_ptr<DbConnection> writer, int frames, int writerFrames,
                                 int restoreFrames)
    : connection_(std::move(writer))
    , writer_(connection_ ? connection_->sqliteHandle() : nullptr)
    , frames_(frames)
    , writerFrames_(writerFrames)
    , restoreFrames_(restoreFrames)
{
    const char *file = writer_ ? sqlite3_db_filename(writer_, "main") : nullptr;
    if (!file || !*file)
        return;
    if (sqlite3_open_v2(file, &own_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(own_);
        own_ = nullptr;
        return;
    }
    // The copy syncs the log and the database as the writer's own checkpoints do.
    sqlite3_exec(own_, "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr);
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error &) {
        sqlite3_close(own_);
        own_ = nullptr;
        return;
    }
    // Replaces the writer's automatic checkpoints until they are put back.
    sqlite3_wal_hook(writer_, &WalCheckpointer::onCommit, this);
}

WalCheckpointer::~WalCheckpointer()
{
    if (!own_)
        return;
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
    sqlite3_wal_autocheckpoint(writer_, restoreFrames_);
    sqlite3_wal_checkpoint_v2(own_, "main", SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    sqlite3_close(own_);
}

int WalCheckpointer::onCommit(void *self, sqlite3 *db, const char *schema, int frames)
{
    auto *checkpointer = static_cast<WalCheckpointer *>(self);
    if (frames >= checkpointer->writerFrames_) {
        // Busy when the thread is copying: it then finishes the work.
        sqlite3_wal_checkpoint_v2(db, schema, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    } else if (frames >= checkpointer->frames_) {
        {
            const std::lock_guard lock(checkpointer->mutex_);
            checkpointer->due_ = true;
        }
        checkpointer->wake_.notify_one();
    }
    return SQLITE_OK;
}

void WalCheckpointer::run()
{
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return due_ || stop_; });
        if (stop_)
            return;
        due_ = false;
        lock.unlock();
        // Never waits for the writer, and a failure only leaves the copy to later.
        sqlite3_wal_checkpoint_v2(own_, "main", SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
        lock.lock();
    }
}
