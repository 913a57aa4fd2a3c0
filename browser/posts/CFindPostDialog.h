#pragma once

#include "browser/posts/PostStatements.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

// "查找帖子": the user picks a top-level room, optionally one of its sub-rooms, and a
// text to look for in the title or the post ID; "开始查找" composes the query.
class CFindPostDialog : public QDialog
{
    Q_OBJECT
public:
    // Appends the paths and "ROOMID" texts of the rooms below a top-level room.
    using SubRoomLister =
            std::function<void(std::int32_t rootIndex, std::vector<std::string> &paths,
                               std::vector<std::string> &roomids)>;

    // Whether a post table has a title index the query may use.
    using TitleIndexProbe = std::function<bool(const std::string &table)>;

    // names and tables: the top-level rooms in file order (GBK).
    CFindPostDialog(QWidget *parent, std::vector<std::string> names,
                    std::vector<std::string> tables, SubRoomLister subRooms, SqlDialect dialect,
                    TitleIndexProbe titleIndex = {});

    // -1 until "开始查找" was accepted.
    int chosenRootIndex() const { return chosenRoot_; }
    const BoundStatement &statement() const { return statement_; }

    QComboBox *rootBox() const { return root_; }
    QLineEdit *tableField() const { return table_; }
    QComboBox *subRoomBox() const { return subRoom_; }
    QCheckBox *includeSubRoomsBox() const { return includeSubRooms_; }
    QRadioButton *byTitleButton() const { return byTitle_; }
    QRadioButton *byTopicIdButton() const { return byTopicId_; }
    QLineEdit *textField() const { return text_; }
    QPushButton *startButton() const { return start_; }

    // What "开始查找" composes from the controls as they stand.
    FindQueryInput Input() const;

private:
    void RootChanged();
    void StartFind();

    std::vector<std::string> names_;
    std::vector<std::string> tables_;
    SubRoomLister subRooms_;
    SqlDialect dialect_;
    TitleIndexProbe titleIndex_;
    std::vector<std::string> subRoomPaths_;
    std::vector<std::string> subRoomIds_; // entry i + 1 of the sub-room list
    int chosenRoot_ = -1;
    BoundStatement statement_;

    QComboBox *root_;
    QLineEdit *table_;
    QComboBox *subRoom_;
    QCheckBox *includeSubRooms_;
    QRadioButton *byTitle_;
    QRadioButton *byTopicId_;
    QLineEdit *text_;
    QPushButton *start_;
};
