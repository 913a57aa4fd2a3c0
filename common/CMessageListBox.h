#pragma once

#include <QListView>

#include <string>
#include <string_view>
#include <vector>

class MessageLineModel;

// The message list of long runs: unsorted, one entry per message in order of
// arrival. Appending neither selects the entry nor scrolls to it. The lines live in
// a compact model, so a run may leave a million of them.
class CMessageListBox : public QListView
{
    Q_OBJECT
public:
    explicit CMessageListBox(QWidget *parent = nullptr);

    void AppendMessage(const std::string &gbkText);
    void AppendMessages(const std::vector<std::string> &gbkLines);
    void ClearMessages();
    int count() const;
    std::string_view MessageAt(int row) const; // GBK
    QString text(int row) const;
    std::vector<std::string> Messages() const;
    MessageLineModel *lines() const { return model_; }

public Q_SLOTS:
    // Asks for a file and writes every entry to it as a GBK line.
    void ExportMessages();

private:
    MessageLineModel *model_;
};
