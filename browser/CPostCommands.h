#pragma once

#include "browser/rooms/RoomModel.h"

#include <QObject>

#include <string>
#include <vector>

class CKestrelCommands;
class CPostListView;
class PostListController;
class QTreeWidgetItem;
class QWidget;
struct BoundStatement;

// The main window's find, delete and move commands ("查    找", "删除所选帖子",
// "转移所选帖子"): their dialogs, statements and messages.
class CPostCommands : public QObject
{
    Q_OBJECT
public:
    // window: the parent of the dialogs and messages.
    CPostCommands(QWidget *window, const CKestrelCommands &commands, RoomModel &rooms,
                  CPostListView *list, PostListController &listing);

    void FindPosts();
    void DeletePosts();
    void MovePosts();

private:
    struct SelectedRow
    {
        QTreeWidgetItem *item = nullptr;
        PostRowInfo info;
        std::string topicid; // the text of the "帖子ID" column as listed
        std::string roomText;
    };

    void runFind();
    std::vector<SelectedRow> selectedRows() const;
    // False, after saying why, when the rows do not name posts: none selected, or the
    // list shows no post IDs.
    bool rowsNamePosts(const std::vector<SelectedRow> &rows);
    bool composeFailed(bool composed, const std::string &problem);
    // Runs a delete or update; on failure shows why and returns false.
    // deleted: the statement deletes these posts of deleteTable, whose body index entries
    // go with them.
    bool runStatement(const BoundStatement &statement, const std::string &deleteTable = {},
                      const std::vector<std::string> *deleted = nullptr);
    void removeRows(const std::vector<SelectedRow> &rows);
    void movePostFiles(const std::vector<SelectedRow> &rows, const std::string &roomid,
                       const std::string &roomname);

    QWidget *window_;
    RoomModel &rooms_;
    CPostListView *list_;
    PostListController &listing_;
};
