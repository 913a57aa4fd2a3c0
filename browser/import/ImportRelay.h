#pragma once

// Carries what the import worker reports to the user-interface thread without the
// worker ever waiting: reports are queued under a short lock and one
// WM_IMPORT_MESSAGE is posted when the queue goes from idle to busy. The sheet takes
// the whole queue at once, so lines travel in blocks, and the status line keeps only
// the newest text. Nothing here touches a widget.

#include "browser/import/ImportSink.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class QObject;

struct ImportReport
{
    enum Kind { Line, Box };
    Kind kind = Line;
    std::string text; // GBK, at most 4095 bytes
    int icon = 0; // QMessageBox::Icon for boxes
    std::string details; // GBK, boxes only
};

class ImportRelay : public ImportSink
{
public:
    explicit ImportRelay(QObject *receiver);

    // Worker side (the run's sink; boxes carry an error icon).
    void ImportStatus(const std::string &gbkText) override;
    void ImportMessage(const std::string &gbkLine) override;
    void ImportMessageBox(const std::string &gbkText, const std::string &gbkDetails) override;

    // User-interface side. Take hands over everything queued and leaves the relay
    // armed (no further message is posted) until Disarm finds the queue empty.
    struct Pending
    {
        std::vector<ImportReport> reports;
        std::optional<std::string> status;
        bool empty() const { return reports.empty() && !status; }
    };
    Pending Take();
    // True when the queue was empty and the next report will post a message again.
    bool Disarm();

    // Test hook: a pause in every status report, to stand for a slow file.
    void SetStatusDelayForTesting(std::chrono::milliseconds delay) { statusDelay_ = delay; }

    static constexpr std::size_t MaxTextBytes = 4095;

private:
    void post(std::unique_lock<std::mutex> &lock);

    QObject *receiver_; // outlives every worker: the sheet joins before it goes
    std::mutex mutex_;
    std::vector<ImportReport> queue_;
    std::optional<std::string> status_;
    bool armed_ = false;
    std::chrono::milliseconds statusDelay_ {0};
};
