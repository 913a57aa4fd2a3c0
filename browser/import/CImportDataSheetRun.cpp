// The run side of the import sheet: start and abort, the worker thread, and the
// reports that travel from the worker to page 1.

#include "CImportDataBase.h"
#include "CImportDataExtern.h"
#include "CImportDataList.h"
#include "CImportDataSheet.h"
#include "ImportEvents.h"
#include "ImportRelay.h"
#include "ImportSheetTexts.h"
#include "browser/import/ImportRun.h"
#include "browser/import/ImportTexts.h"

#include "browser/db/CAdoManager.h"
#include "browser/rooms/RoomModel.h"
#include "common/Codec.h"
#include "common/PlaceholderNotifier.h"
#include "common/UiSeam.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

#include <system_error>

using namespace ImportSheetText;

namespace {
QString clockText(qint64 milliseconds)
{
    const qint64 seconds = milliseconds / 1000;
    return QStringLiteral("%1:%2:%3")
            .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
            .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}
} // namespace

void CImportDataSheet::setStartShown(bool shown)
{
    startShown_ = shown;
    apply_->setText(QString::fromUtf8(shown ? StartButton : AbortButton));
}

void CImportDataSheet::onApply()
{
    if (aborting_)
        return;
    if (startShown_) {
        setStartShown(false);
        ShowPage(base_);
        StartImport();
    } else {
        AbortImport();
        setStartShown(true);
    }
}

void CImportDataSheet::StartImport()
{
    if (HasWorker()) {
        setStartShown(true);
        return;
    }
    readAllFields();
    if (base_->ValidatePage() || list_->ValidatePage(settings_) || extern_->ValidatePage()) {
        setStartShown(true);
        return;
    }
    // The fields show what the run uses: lower-cased markers, the expanded connection
    // string. The run works on the job's copy, so no widget is read from its thread.
    if (const auto problem = job_->Prepare(settings_)) {
        UiSeam::ShowMessage(this, Gbk::toQString(problem->text), QMessageBox::Warning);
        setStartShown(true);
        return;
    }
    settings_ = job_->settings();
    showAllValues();
    if (onRunStarting)
        onRunStarting();
    std::string why;
    const bool started = job_->Start(
            [this](ImportOutcome outcome, std::int32_t autoGrowNext) {
                // Posted, never sent: the user-interface thread may be waiting for this
                // thread in AbortImport.
                QCoreApplication::postEvent(
                        this,
                        new CImportEndedEvent(outcome != ImportOutcome::Aborted, autoGrowNext));
            },
            why);
    if (!started) {
        qWarning("%s", why.c_str());
        UiSeam::ShowMessage(this, QString::fromUtf8(WorkerStartFailed), QMessageBox::Critical);
        setStartShown(true);
        return;
    }
    ++runsStarted_;
    runClock_.start();
    showProgress();
    progressTimer_->start();
}

void CImportDataSheet::AbortImport()
{
    if (!HasWorker())
        return;
    base_->AddMessage(Gbk::literal(Aborting), false);
    job_->Abort();
    // The worker's lines wait until the outcome line is in the list; the window keeps
    // painting meanwhile, and no input reaches it.
    holdReports_ = true;
    aborting_ = true;
    bool ended = false;
    QEventLoop wait;
    abortWaitEnded_ = [&ended, &wait] {
        ended = true;
        wait.quit();
    };
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &wait, &QEventLoop::quit);
    deadline.start(abortWait_);
    wait.exec(QEventLoop::ExcludeUserInputEvents);
    abortWaitEnded_ = nullptr;
    aborting_ = false;
    setStartShown(true);
    // After a time-out the worker stops after its file and then ends by itself.
    base_->AddMessage(Gbk::literal(ended ? AbortDone : AbortTimedOut), false);
    holdReports_ = false;
    drainReports(false);
}

void CImportDataSheet::onWorkerEnded(bool keptRunning, std::int32_t autoGrowNext)
{
    // The worker posted this as its last act; joining only waits for it to return.
    job_->Wait();
    progressTimer_->stop();
    showProgress();
    settings_.autoGrowStart = autoGrowNext;
    list_->SetAutogrowStart(autoGrowNext);
    if (keptRunning)
        setStartShown(true);
    if (abortWaitEnded_)
        abortWaitEnded_();
    drainReports(true);
}

void CImportDataSheet::drainReports(bool final)
{
    if (holdReports_ || draining_)
        return;
    draining_ = true;
    ImportRelay::Pending pending = relay_->Take();
    std::vector<std::string> block;
    for (ImportReport &report : pending.reports) {
        if (report.kind == ImportReport::Line) {
            block.push_back(std::move(report.text));
            continue;
        }
        base_->AddMessages(block);
        block.clear();
        // A box waits for the user; lines that come meanwhile stay queued.
        UiSeam::ShowDetailedMessage(this, Gbk::toQString(report.text),
                                    Gbk::toQString(report.details), QMessageBox::Icon(report.icon));
    }
    base_->AddMessages(block);
    if (pending.status)
        pendingStatus_ = std::move(pending.status);
    // The status line changes a few times a second at most; the last text always shows.
    if (pendingStatus_ && (final || !statusClock_.isValid() || statusClock_.elapsed() >= 250)) {
        base_->AddMessage(*pendingStatus_, true);
        pendingStatus_.reset();
        statusClock_.start();
    }
    draining_ = false;
    cooldown_->start();
}

void CImportDataSheet::onCooldown()
{
    if (holdReports_)
        return;
    if (draining_) {
        cooldown_->start();
        return;
    }
    if (pendingStatus_ || !relay_->Disarm())
        drainReports(!HasWorker());
}

void CImportDataSheet::showProgress()
{
    if (!runClock_.isValid())
        return;
    const ImportProgress &progress = job_->Progress();
    const qint64 elapsed = runClock_.elapsed();
    const long met = progress.totalFiles.load(std::memory_order_relaxed);
    const long inserted = progress.insertedFiles.load(std::memory_order_relaxed);
    const long long expected = progress.expectedFiles.load(std::memory_order_relaxed);
    const double rate = elapsed > 0 ? double(met) * 1000.0 / double(elapsed) : 0.0;
    QString text = QString::fromUtf8(ProgressFormat)
                           .arg(met)
                           .arg(inserted)
                           .arg(qRound64(rate))
                           .arg(clockText(elapsed));
    if (expected >= 0 && HasWorker() && rate > 0) {
        const double left = double(std::max(0LL, expected - met)) / rate;
        text += QString::fromUtf8(ProgressLeftFormat)
                        .arg(expected)
                        .arg(clockText(qint64(left * 1000.0)));
    }
    base_->SetProgress(text);
}

void CImportDataSheet::stopWorker()
{
    // Leaving with a run going (the program quits): stop it and wait; never kill it.
    if (!job_->Started())
        return;
    job_->Abort();
    job_->Wait();
}

void CImportDataSheet::FindUniqueTopicid()
{
    if (HasWorker()) {
        UiSeam::ShowMessage(this, QString::fromUtf8(SearchDuringRun), QMessageBox::Warning);
        return;
    }
    if (!list_->ReadFields(settings_))
        return;
    if (settings_.table.empty()) {
        UiSeam::ShowMessage(this, QString::fromUtf8(TableMissingForSearch), QMessageBox::Warning);
        return;
    }
    readAllFields();
    const std::uint32_t next = FindNextTopicid(*ado_, settings_, *relay_);
    if (next > 0)
        settings_.autoGrowStart = std::int32_t(next);
    showAllValues();
}
