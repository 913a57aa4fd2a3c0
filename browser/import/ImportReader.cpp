#include "ImportReader.h"

#include "ImportTexts.h"
#include "InsertStatements.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/PlaceholderNotifier.h"
#include "common/TextFormat.h"

#include <cerrno>
#include <new>
#include <stdexcept>

FileReader::FileReader(const ExtractionContext &context, const RoomModel *rooms,
                       const PostPathCheck &pathCheck)
    : context_(context)
    , rooms_(rooms)
    , pathCheck_(pathCheck)
{
}

RunItem FileReader::FolderLine(std::string &&line)
{
    RunItem item;
    item.entry.lines.push_back(std::move(line));
    return item;
}

RunItem FileReader::Read(WalkFile &&file) const
{
    RunItem item;
    item.isFile = true;
    // The status line is made here, off the writing thread.
    item.status = CutMessageLine(EscapeControlCharacters(file.path));
    // Placeholders of the path check are met here, possibly on the reading thread.
    const ScopedPlaceholderNotifier notifier(
            [&item](const std::string &placeholder) { item.placeholders.push_back(placeholder); });

    const auto openError = [&item, &file](int code) {
        item.entry = BatchEntry();
        item.entry.lines.push_back(CutMessageLine(FormatText(
                Gbk::literal(ImportText::OpenFileError).c_str(), file.path.c_str(), long(code))));
        return std::move(item);
    };
    if (!file.regular) {
        if (file.linkError != 0)
            return openError(file.linkError);
        item.entry.lines.push_back(CutMessageLine(
                FormatText(Gbk::literal(ImportText::NotRegularFile).c_str(), file.path.c_str())));
        return item;
    }
    // A file larger than the memory this thread can take is that file's failure, never
    // the end of the program.
    try {
        readAndExtract(file, item);
    } catch (const std::bad_alloc &) {
        return openError(ENOMEM);
    } catch (const std::length_error &) {
        return openError(EFBIG);
    }
    return item;
}

void FileReader::readAndExtract(const WalkFile &file, RunItem &item) const
{
    thread_local std::string bytes;
    const ReusedBuffer kept(bytes);
    if (const std::error_code error = FileSystem::readRegularDiskFile(file.diskPath, bytes)) {
        item.entry.lines.push_back(
                CutMessageLine(FormatText(Gbk::literal(ImportText::OpenFileError).c_str(),
                                          file.path.c_str(), long(error.value()))));
        return;
    }
    const std::string roomidOfNode =
            file.node && rooms_ ? rooms_->GetRoomRecordOfItem(file.node).roomid : std::string();
    const bool numbered = context_.settings->topicidMode == TopicidMode::AutoGrow;
    std::string line;
    BatchEntry &entry = item.entry;
    switch (ExtractPostFields(context_, bytes, file.path, file.fileTitle, roomidOfNode,
                              std::nullopt, entry.fields, line)) {
    case ExtractionResult::Reported:
        entry.lines.push_back(std::move(line));
        break;
    case ExtractionResult::SkippedSilently:
        break;
    case ExtractionResult::Extracted:
        entry.hasRow = true;
        if (context_.bodyText) {
            // Off the writing thread, from the bytes in hand; a stamp that cannot be
            // read only makes a later build read the file again.
            entry.body = BodyIndex::Prepare(std::move(ExtractPostText(bytes).text));
            std::string ignored;
            StampPostFile(file.path, entry.stamp, ignored);
        }
        entry.numberFromCounter = numbered;
        if (!numbered) {
            std::string warning = pathCheck_.Check(entry.fields);
            if (!warning.empty())
                entry.lines.push_back(std::move(warning));
            entry.pathChecked = true;
            // Composed here, off the writing thread, which only binds it.
            entry.insertValid =
                    InsertStatement(context_.settings->table, entry.fields,
                                    context_.columns.roomidIsNumeric, entry.insert, false);
        }
        break;
    }
}

bool RunItemQueue::Push(std::size_t number, Chunk &&chunk)
{
    std::unique_lock lock(mutex_);
    ++readersWait_;
    readers_.wait(lock, [&] { return stopped_ || number < next_ + capacity_; });
    --readersWait_;
    if (stopped_)
        return false;
    chunks_.emplace(number, std::move(chunk));
    const bool wake = writerWaits_ && number == next_;
    lock.unlock();
    if (wake)
        writer_.notify_one();
    return true;
}

RunItemQueue::Pop RunItemQueue::Take(Chunk &chunk, std::chrono::steady_clock::time_point until)
{
    std::unique_lock lock(mutex_);
    writerWaits_ = true;
    const bool ready = writer_.wait_until(lock, until, [this] {
        return (!chunks_.empty() && chunks_.begin()->first == next_) || finished_;
    });
    writerWaits_ = false;
    if (!ready)
        return Pop::Timeout;
    if (chunks_.empty() || chunks_.begin()->first != next_)
        return Pop::Finished;
    chunk = std::move(chunks_.begin()->second);
    chunks_.erase(chunks_.begin());
    ++next_;
    const bool wake = readersWait_ > 0;
    lock.unlock();
    if (wake)
        readers_.notify_all();
    return Pop::Chunk;
}

void RunItemQueue::Finish()
{
    {
        const std::lock_guard lock(mutex_);
        finished_ = true;
    }
    writer_.notify_all();
}

void RunItemQueue::Stop()
{
    {
        const std::lock_guard lock(mutex_);
        stopped_ = true;
        chunks_.clear();
    }
    readers_.notify_all();
    writer_.notify_all();
}
