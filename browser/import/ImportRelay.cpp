#include "ImportRelay.h"

#include "ImportEvents.h"

#include "common/Codec.h"

#include <QCoreApplication>
#include <QMessageBox>

#include <thread>

namespace {
std::string cut(const std::string &text)
{
    if (text.size() <= ImportRelay::MaxTextBytes)
        return text;
    return std::string(Gbk::prefixWithinBytes(text, ImportRelay::MaxTextBytes));
}
} // namespace

ImportRelay::ImportRelay(QObject *receiver)
    : receiver_(receiver)
{
}

void ImportRelay::post(std::unique_lock<std::mutex> &lock)
{
    if (armed_)
        return;
    armed_ = true;
    lock.unlock();
    QCoreApplication::postEvent(receiver_, new QEvent(WM_IMPORT_MESSAGE));
}

void ImportRelay::ImportStatus(const std::string &gbkText)
{
    if (statusDelay_.count() > 0)
        std::this_thread::sleep_for(statusDelay_);
    std::unique_lock lock(mutex_);
    status_ = cut(gbkText);
    post(lock);
}

void ImportRelay::ImportMessage(const std::string &gbkText)
{
    std::unique_lock lock(mutex_);
    queue_.push_back({ImportReport::Line, cut(gbkText), 0, {}});
    post(lock);
}

void ImportRelay::ImportMessageBox(const std::string &gbkText, const std::string &gbkDetails)
{
    std::unique_lock lock(mutex_);
    queue_.push_back({ImportReport::Box, gbkText, int(QMessageBox::Critical), gbkDetails});
    post(lock);
}

ImportRelay::Pending ImportRelay::Take()
{
    Pending pending;
    std::lock_guard lock(mutex_);
    pending.reports.swap(queue_);
    pending.status.swap(status_);
    return pending;
}

bool ImportRelay::Disarm()
{
    std::lock_guard lock(mutex_);
    if (!queue_.empty() || status_)
        return false;
    armed_ = false;
    return true;
}
