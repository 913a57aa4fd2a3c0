#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;

// "把选择的帖子转移到......": the selected posts with their rooms, and the room of the same
// top-level room to move them to.
class CMovePostDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CMovePostDialog(QWidget *parent);

    // Texts are GBK. Fill before showing.
    void AddPost(const std::string &topicid, const std::string &roomText);
    void SetTable(const std::string &table) { table_ = table; }
    void AddTarget(const std::string &name, const std::string &roomid);

    int chosenIndex() const { return chosen_; }
    // The "ROOMID" text of the chosen target, as the configuration writes it.
    std::string chosenRoomId() const;
    std::string chosenRoomName() const;

    QTreeWidget *postList() const { return posts_; }
    QComboBox *targetBox() const { return targets_; }
    QLabel *tableLabel() const { return tableValue_; }
    QLabel *roomIdLabel() const { return roomIdValue_; }
    QPushButton *acceptButton() const { return accept_; }
    QPushButton *refuseButton() const { return refuse_; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void fill();
    void TargetChanged(int index);

    std::vector<std::string> topicids_;
    std::vector<std::string> roomTexts_;
    std::vector<std::string> targetNames_;
    std::vector<std::string> targetIds_;
    std::string table_;
    int chosen_ = -1;
    bool filled_ = false;

    QTreeWidget *posts_;
    QComboBox *targets_;
    QLabel *tableValue_;
    QLabel *roomIdValue_;
    QPushButton *accept_;
    QPushButton *refuse_;
};
