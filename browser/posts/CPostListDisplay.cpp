#include "CPostListDisplay.h"

#include "CPostListView.h"
#include "common/Codec.h"
#include "common/UiSeam.h"

#include <QApplication>

CPostListDisplay::CPostListDisplay(CPostListView *list, QWidget *window, QWidget *statusPane,
                                   std::function<void(const QString &)> setStatus)
    : list_(list)
    , window_(window)
    , statusPane_(statusPane)
    , setStatus_(std::move(setStatus))
{
}

PostColumnTable &CPostListDisplay::Columns()
{
    return list_->columnTable();
}

int CPostListDisplay::RowCount() const
{
    return list_->topLevelItemCount();
}

void CPostListDisplay::ShowColumns(bool snippets)
{
    list_->DeleteAllColumns();
    list_->SetupColumns(snippets);
    list_->ResizeColumns(list_->ClientWidth());
}

void CPostListDisplay::ShowRows(const std::vector<PostListRow> &rows)
{
    list_->setUpdatesEnabled(false);
    list_->clear();
    for (const PostListRow &row : rows) {
        list_->AddPostRow(row.values, row.itemData);
        if (row.snippet) {
            // The hit's bytes as characters of the text shown.
            const std::string &text = *row.snippet;
            const std::size_t end = std::min(row.markEnd, text.size());
            const std::size_t begin = std::min(row.markBegin, end);
            const int markBegin = int(Gbk::toQString(text.substr(0, begin)).size());
            const int markLength = int(Gbk::toQString(text.substr(begin, end - begin)).size());
            list_->SetRowSnippet(list_->topLevelItemCount() - 1, Gbk::toQString(text), markBegin,
                                 markLength);
        }
    }
    list_->setUpdatesEnabled(true);
}

void CPostListDisplay::ShowQueryStatus(const std::string &status)
{
    setStatus_(Gbk::toQString(status));
}

void CPostListDisplay::QueryStarted(const std::string &status)
{
    ShowQueryStatus(status);
    if (statusPane_)
        statusPane_->repaint();
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void CPostListDisplay::QueryEnded()
{
    QApplication::restoreOverrideCursor();
}

void CPostListDisplay::ShowQueryFailure(const std::string &message, const std::string &details)
{
    if (!details.empty())
        qWarning("%s", qPrintable(Gbk::toQString(details)));
    UiSeam::ShowDetailedMessage(window_, Gbk::toQString(message), Gbk::toQString(details),
                                QMessageBox::Critical);
}
