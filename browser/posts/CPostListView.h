#pragma once

#include "browser/posts/PostColumnTable.h"
#include "browser/rooms/RoomModel.h"

#include <QTreeWidget>

#include <optional>
#include <string>
#include <vector>

class CSnippetDelegate;
class QMenu;

// The post list: one page of a query result in report view, with the columns the
// result has. Double-click and Enter post WM_OPEN_POST with the row of the selection
// mark; the Menu key and Shift+F10 show the post menu as the right button does.
class CPostListView : public QTreeWidget
{
    Q_OBJECT
public:
    CPostListView(QObject *eventTarget, QWidget *parent = nullptr);

    PostColumnTable &columnTable() { return columns_; }
    const PostColumnTable &columnTable() const { return columns_; }

    void DeleteAllColumns();
    // One column per shown slot, in slot order, and the snippet column last when the
    // rows are a body search's hits.
    void SetupColumns(bool snippets = false);
    bool HasSnippetColumn() const { return snippets_; }
    // The words around a row's first hit; the hit is [markBegin, markBegin + markLength).
    void SetRowSnippet(int row, const QString &text, int markBegin, int markLength);
    QString RowSnippet(int row) const;
    void ResizeColumns(int width);
    // Appends a row; values are those of the shown slots (GBK), nullopt for NULL.
    void AddPostRow(const std::vector<std::optional<std::string>> &values, std::uint32_t itemData);
    // The row's values, each from the column of its own field; a value whose column is
    // not shown is empty.
    PostRowInfo GetRowPostInfo(int row) const;
    // Whether the rows show their post ID, which delete and move name the posts by.
    bool HasTopicIdColumn() const;
    std::uint32_t RowItemData(int row) const;
    int ClientWidth() const;

    void setPostMenu(QMenu *menu) { postMenu_ = menu; }

protected:
    bool viewportEvent(QEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void openMarkedRow();

    QObject *eventTarget_;
    QMenu *postMenu_ = nullptr;
    PostColumnTable columns_;
    int lastClientWidth_ = -1;
    bool snippets_ = false;
    CSnippetDelegate *snippetDelegate_ = nullptr;
};
