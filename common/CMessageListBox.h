#pragma once

#include <QListWidget>

#include <string>
#include <vector>

// The message list of long runs: unsorted, one entry per message in order of
// arrival. Appending neither selects the entry nor scrolls to it.
class CMessageListBox : public QListWidget
{
    Q_OBJECT
public:
    explicit CMessageListBox(QWidget *parent = nullptr);

    void AppendMessage(const std::string &gbkText);
    void ClearMessages();
    std::vector<std::string> Messages() const;

public Q_SLOTS:
    // Asks for a file and writes every entry to it as a GBK line.
    void ExportMessages();
};
