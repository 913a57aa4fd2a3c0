#pragma once

#include "browser/posts/PostListController.h"

#include <QString>

#include <functional>

class CPostListView;
class QWidget;

// The post list controller's window side: the list view's columns and rows, the query
// status pane (through setStatus, repainted at once while a query runs), the wait
// cursor, and the message box of a failed query.
class CPostListDisplay : public PostListDisplay
{
public:
    CPostListDisplay(CPostListView *list, QWidget *window, QWidget *statusPane,
                     std::function<void(const QString &)> setStatus);

    PostColumnTable &Columns() override;
    int RowCount() const override;
    void ShowColumns(bool snippets) override;
    void ShowRows(const std::vector<PostListRow> &rows) override;
    void ShowQueryStatus(const std::string &status) override;
    void QueryStarted(const std::string &status) override;
    void QueryEnded() override;
    void ShowQueryFailure(const std::string &message, const std::string &details) override;

private:
    CPostListView *list_;
    QWidget *window_;
    QWidget *statusPane_;
    std::function<void(const QString &)> setStatus_;
};
