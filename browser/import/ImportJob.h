#pragma once

// One import as both faces run it, the sheet and `quillery import`: check the settings,
// find roomid mode 3's top-level room, lower-case the markers and expand the connection
// string (once), find the next topicid when asked, run on a thread of its own, abort.
// The job works on its own copy of the settings: the caller's stay as they were.

#include "ImportRun.h"
#include "ImportSettings.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

class CAdoManager;
class ImportSink;

class ImportJob
{
public:
    // Called on the run's thread as its last act: the outcome and the topicid the
    // counter ended at (the next one a run would take).
    using EndedHandler = std::function<void(ImportOutcome outcome, std::int32_t autoGrowNext)>;

    // rooms: the room model of the path check and roomid mode 3 (may be null when
    // neither is used). sink: every report of the job and its run.
    ImportJob(RoomModel *rooms, ImportSink &sink);
    // A run still going is aborted and waited for, never killed.
    ~ImportJob();
    ImportJob(const ImportJob &) = delete;
    ImportJob &operator=(const ImportJob &) = delete;

    // Takes a copy of the settings and readies it for a run; the problem that stops it
    // (its page and text), or nullopt. An unknown placeholder in the connection string
    // is a message box of the sink.
    std::optional<ImportSettingsProblem> Prepare(const ImportSettings &settings);
    // The settings as the run will use them.
    const ImportSettings &settings() const { return settings_; }

    // "next": the run numbers on from the table's largest topicid. False, after the
    // sink's message box, when it could not be read.
    bool NumberFromNextTopicid();

    // Starts the prepared run on a thread of its own. False, with the reason, when the
    // thread could not start; nothing ran then.
    bool Start(EndedHandler ended, std::string &why);
    // The walk stops at the next file or folder; the batch is committed, the summary
    // line follows.
    void Abort() { run_.AbortImport(); }
    // Whether a run was started and not yet waited for.
    bool Started() const { return worker_.joinable(); }
    // Waits for the run's thread to end.
    void Wait();

    const ImportProgress &Progress() const { return run_.Progress(); }
    ImportRun &run() { return run_; }

private:
    RoomModel *rooms_;
    ImportSink &sink_;
    std::unique_ptr<CAdoManager> ado_;
    ImportRun run_;
    ImportSettings settings_;
    TreeItem rootRoom_ = nullptr;
    std::thread worker_;
};
