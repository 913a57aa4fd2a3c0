#pragma once

#include <QEvent>

#include <cstdint>

// Messages the import worker and the tray icon post to the import sheet; numbered as
// the user messages they were.
inline const QEvent::Type WM_IMPORT_MESSAGE = QEvent::Type(QEvent::User + 201);
inline const QEvent::Type WM_IMPORT_TRAY = QEvent::Type(QEvent::User + 202);
// The worker has left the run and is about to end.
inline const QEvent::Type WM_IMPORT_ENDED = QEvent::Type(QEvent::User + 203);

// The mouse message of the tray icon that restores the windows: left button released.
constexpr int TrayLeftButtonUp = 514;

class CImportTrayEvent : public QEvent
{
public:
    CImportTrayEvent(int iconId, int mouseMessage)
        : QEvent(WM_IMPORT_TRAY)
        , iconId_(iconId)
        , mouseMessage_(mouseMessage)
    {
    }
    int iconId() const { return iconId_; }
    int mouseMessage() const { return mouseMessage_; }

private:
    int iconId_;
    int mouseMessage_;
};

class CImportEndedEvent : public QEvent
{
public:
    CImportEndedEvent(bool keptRunning, std::int32_t autoGrowNext)
        : QEvent(WM_IMPORT_ENDED)
        , keptRunning_(keptRunning)
        , autoGrowNext_(autoGrowNext)
    {
    }
    // The run was not aborted.
    bool keptRunning() const { return keptRunning_; }
    // The auto-grow counter the run ended with, for page 2's field.
    std::int32_t autoGrowNext() const { return autoGrowNext_; }

private:
    bool keptRunning_;
    std::int32_t autoGrowNext_;
};
