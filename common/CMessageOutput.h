#pragma once

#include <QLabel>
#include <QPointer>

#include <string>

class CMessageListBox;

// Routes progress texts to a message list or to a one-line status text. Texts for
// a page that no longer exists are dropped.
class CMessageOutput
{
public:
    CMessageOutput(CMessageListBox *list, QLabel *statusLine);

    void AddMessage(const std::string &gbkText, bool toStatusLine);

private:
    QPointer<CMessageListBox> list_;
    QPointer<QLabel> statusLine_;
};
