// The run side of the import sheet: start and abort, the worker thread, and the
// reports that travel from the worker to page 1.

#include "CImportDataBase.h"
#include "CImportDataExtern.h"
#include "CImportDataList.h"
#include "CImportDataSheet.h"
#include "ImportEvents.h"
#include "ImportRelay.h"
#include "ImportSheetTexts.h"
#include "ImportSink.h"
#include "ImportTexts.h"

#include "browser/RoomModel.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/UiSeam.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

#include <system_error>

using namespace ImportSheetText;

namespace {
// The run's reports, handed to the relay; never waits.
class SheetSink : public ImportSink
{
public:
    explicit SheetSink(ImportRelay &relay)
        : relay_(relay)
    {
    }
    void ImportStatus(const std::string &gbkText) override { relay_.Status(gbkText); }
    void ImportMessage(const std::string &gbkLine) override { relay_.Line(gbkLine); }
    void ImportMessageBox(const std::string &gbkText) override
    {
        relay_.Box(gbkText, int(QMessageBox::Critical));
    }

private:
    ImportRelay &relay_;
};

// The last folder name of an import directory ending in a separator.
std::string lastFolderName(const std::string &directory)
{
    std::string path = directory;
    const std::size_t cut = FileSystem::lastSeparator(path);
    if (cut == std::string::npos)
        return std::string();
    path.resize(cut);
    const std::size_t previous = FileSystem::lastSeparator(path);
    return previous == std::string::npos ? path : path.substr(previous + 1);
}

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
    TreeItem rootRoom = nullptr;
    if (settings_.roomidMode == RoomidMode::FolderIsRoomname) {
        const std::string name = lastFolderName(FileSystem::normalize(settings_.importDirectory));
        rootRoom = rooms_ ? rooms_->FindChildItem(nullptr, name) : nullptr;
        if (!rootRoom) {
            UiSeam::ShowMessage(this, QString::fromUtf8(ImportText::NoRootRoomForFolder),
                                QMessageBox::Warning);
            setStartShown(true);
            return;
        }
    }
    // The run works on a copy; the fields show the lower-cased markers and the
    // expanded connection string it uses.
    PrepareRunSettings(settings_);
    showAllValues();
    const ImportSettings snapshot = settings_;
    if (onRunStarting)
        onRunStarting();
    keepRunning_ = true;
    progress_ = std::make_shared<ImportProgress>();
    try {
        worker_ = std::thread([this, snapshot, rootRoom, progress = progress_] {
            SheetSink sink(*relay_);
            ImportRunResult result = RunImport(snapshot, rooms_, rootRoom, sink, keepRunning_,
                                               *progress);
            finalAutoGrow_ = result.autoGrowNext;
            QCoreApplication::postEvent(this, new CImportEndedEvent(keepRunning_.load()));
        });
    } catch (const std::system_error &error) {
        qWarning("%s", error.what());
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
    keepRunning_ = false;
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
    if (ended) {
        keepRunning_ = true;
        base_->AddMessage(Gbk::literal(AbortDone), false);
    } else {
        // keepRunning stays cleared: the worker stops after its file and then resets it.
        base_->AddMessage(Gbk::literal(AbortTimedOut), false);
    }
    holdReports_ = false;
    drainReports(false);
}

void CImportDataSheet::onWorkerEnded(bool keptRunning)
{
    // The worker posted this as its last act; joining only waits for it to return.
    if (worker_.joinable())
        worker_.join();
    progressTimer_->stop();
    showProgress();
    list_->SetAutogrowStart(std::int32_t(finalAutoGrow_));
    settings_.autoGrowStart = std::int32_t(finalAutoGrow_);
    if (keptRunning)
        setStartShown(true);
    keepRunning_ = true;
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
        UiSeam::ShowMessage(this, Gbk::toQString(report.text),
                            QMessageBox::Icon(report.icon));
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
    if (!progress_ || !runClock_.isValid())
        return;
    const qint64 elapsed = runClock_.elapsed();
    const long met = progress_->filesMet.load(std::memory_order_relaxed);
    const long inserted = progress_->filesInserted.load(std::memory_order_relaxed);
    const double rate = elapsed > 0 ? double(met) * 1000.0 / double(elapsed) : 0.0;
    base_->SetProgress(QString::fromUtf8(ProgressFormat)
                               .arg(met)
                               .arg(inserted)
                               .arg(qRound64(rate))
                               .arg(clockText(elapsed)));
}

void CImportDataSheet::stopWorker()
{
    // Leaving with a run going (the program quits): stop it and wait; never kill it.
    if (!worker_.joinable())
        return;
    keepRunning_ = false;
    worker_.join();
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
    const std::uint32_t next = FindNextTopicid(settings_, sink);
    if (next > 0)
        settings_.autoGrowStart = std::int32_t(next);
    showAllValues();
}
