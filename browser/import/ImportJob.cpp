#include "ImportJob.h"

#include "ImportSink.h"
#include "ImportTexts.h"
#include "browser/db/CAdoManager.h"
#include "common/Codec.h"
#include "common/PlaceholderNotifier.h"

#include <QString>

#include <system_error>

ImportJob::ImportJob(RoomModel *rooms, ImportSink &sink)
    : rooms_(rooms)
    , sink_(sink)
    , ado_(std::make_unique<CAdoManager>())
    , run_(rooms, sink)
{
}

ImportJob::~ImportJob()
{
    if (worker_.joinable()) {
        run_.AbortImport();
        worker_.join();
    }
}

std::optional<ImportSettingsProblem> ImportJob::Prepare(const ImportSettings &settings)
{
    settings_ = settings;
    rootRoom_ = nullptr;
    if (auto problem = ValidateImportSettings(settings_))
        return problem;
    if (settings_.roomidMode == RoomidMode::FolderIsRoomname) {
        rootRoom_ = rooms_ ? FindImportRootRoom(*rooms_, settings_.importDirectory) : nullptr;
        if (!rootRoom_)
            return ImportSettingsProblem {1, Gbk::literal(ImportText::NoRootRoomForFolder)};
    }
    LowerCaseMarkers(settings_);
    // Here, once: the run and the topicid search find it expanded. A few boxes of unknown
    // placeholders, then their count.
    PlaceholderReports placeholders(
            [this](const std::string &text) { sink_.ImportMessageBox(text, std::string()); });
    const ScopedPlaceholderNotifier notifier(
            [&placeholders](const std::string &text) { placeholders.Report(text); });
    ExpandConnectionString(settings_);
    placeholders.Finish();
    return std::nullopt;
}

bool ImportJob::NumberFromNextTopicid()
{
    const std::uint32_t next = FindNextTopicid(*ado_, settings_, sink_);
    if (next == 0)
        return false;
    settings_.autoGrowStart = static_cast<std::int32_t>(next);
    return true;
}

bool ImportJob::Start(EndedHandler ended, std::string &why)
{
    try {
        worker_ = std::thread([this, ended = std::move(ended), snapshot = settings_]() mutable {
            ImportOutcome outcome = ImportOutcome::Failed;
            try {
                outcome = run_.RunImport(snapshot, *ado_, rootRoom_);
            } catch (const std::exception &error) {
                // Never the end of the program: the run fails with a message.
                sink_.ImportMessageBox(
                        Gbk::fromQString(QString::fromUtf8(ImportText::RunFailed)
                                                 .arg(QString::fromLocal8Bit(error.what()))),
                        std::string());
            }
            ado_->CloseAdoConnection();
            if (ended)
                ended(outcome, snapshot.autoGrowStart);
        });
    } catch (const std::system_error &error) {
        why = error.what();
        return false;
    }
    return true;
}

void ImportJob::Wait()
{
    if (worker_.joinable())
        worker_.join();
}
