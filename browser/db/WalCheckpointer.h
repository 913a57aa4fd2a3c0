#pragma once

// While a long write runs on a SQLite connection, its log is copied back into the
// database on a thread of its own, through a connection of its own, instead of by the
// commit that filled it: the writer goes on with its next batch while the pages are
// copied and the files synced. A commit that finds the log far larger than the copies
// keep up with still copies back itself, so the log stays as small as it was.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class DbConnection;
struct sqlite3;

class WalCheckpointer
{
public:
    // writer: the committing connection (SQLite), used by one thread, kept open while
    // this lives. Copies start once the log holds `frames` pages; the commit copies
    // itself past `writerFrames`. Afterwards the writer checkpoints by itself again past
    // `restoreFrames` (its setting before).
    WalCheckpointer(std::shared_ptr<DbConnection> writer, int frames, int writerFrames,
                    int restoreFrames);
    // Copies back what the log still holds before it returns.
    ~WalCheckpointer();
    WalCheckpointer(const WalCheckpointer &) = delete;
    WalCheckpointer &operator=(const WalCheckpointer &) = delete;

    // False when the thread or its connection could not be had: the writer then copies
    // back by itself, as before (restoreFrames).
    bool running() const { return own_ != nullptr; }

private:
    static int onCommit(void *self, sqlite3 *db, const char *schema, int frames);
    void run();

    std::shared_ptr<DbConnection> connection_;
    sqlite3 *writer_;
    sqlite3 *own_ = nullptr;
    const int frames_;
    const int writerFrames_;
    const int restoreFrames_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool due_ = false;
    bool stop_ = false;
    std::thread thread_;
};
