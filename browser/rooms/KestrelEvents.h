#pragma once

#include <QEvent>

// Messages posted between Kestrel's windows; numbered as the user messages they were.
inline const QEvent::Type WM_OPEN_POST = QEvent::Type(QEvent::User + 1);
inline const QEvent::Type WM_OPEN_ROOM = QEvent::Type(QEvent::User + 3);

// A posted message carrying one index (a room record index or a list row).
class CIndexEvent : public QEvent
{
public:
    CIndexEvent(QEvent::Type type, int index)
        : QEvent(type)
        , index_(index)
    {
    }
    int index() const { return index_; }

private:
    int index_;
};
