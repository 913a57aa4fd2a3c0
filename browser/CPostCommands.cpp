#include "CPostCommands.h"

#include "CKestrelCommands.h"
#include "CLeftTreeView.h"
#include "CMainStatusBar.h"
#include "browser/db/DbEndpoint.h"
#include "browser/posts/CConfirmOperationDialog.h"
#include "browser/posts/CFindPostDialog.h"
#include "browser/posts/CMovePostDialog.h"
#include "browser/posts/CPostListView.h"
#include "browser/posts/PostFileOperations.h"
#include "browser/posts/PostListController.h"
#include "browser/posts/PostStatementRun.h"
#include "browser/posts/PostStatements.h"
#include "browser/posts/TitleIndex.h"
#include "browser/rooms/PostCommandTexts.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/TextFormat.h"
#include "common/UiSeam.h"

#include <QAction>

namespace {
QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// The row as the post location table is asked for its file, or nothing when the table
// cannot hold its ID: a file found for it would be another post's.
std::optional<PostRowInfo> fileRow(PostRowInfo info)
{
    const std::optional<std::uint32_t> id = PostFileTopicId(info.topicidText);
    if (!id)
        return std::nullopt;
    info.topicidText = std::to_string(*id); // read as the statement reads it: decimal
    return info;
}
} // namespace

CPostCommands::CPostCommands(QWidget *window, const CKestrelCommands &commands, RoomModel &rooms,
                             CPostListView *list, PostListController &listing)
    : QObject(window)
    , window_(window)
    , rooms_(rooms)
    , list_(list)
    , listing_(listing)
{
    connect(commands.findPosts, &QAction::triggered, this, &CPostCommands::FindPosts);
    connect(commands.deletePosts, &QAction::triggered, this, &CPostCommands::DeletePosts);
    connect(commands.movePosts, &QAction::triggered, this, &CPostCommands::MovePosts);
}

void CPostCommands::FindPosts()
{
    QString failure;
    try {
        runFind();
        return;
    } catch (const std::exception &error) {
        failure = Gbk::toQString(error.what());
    } catch (...) {
        failure = text(PostCommandText::Unexpected);
    }
    UiSeam::ShowMessage(window_, text(PostCommandText::FindFailed) + failure,
                        QMessageBox::Critical);
}

void CPostCommands::runFind()
{
    const RoomModel &rooms = rooms_;
    std::vector<std::string> names, tables;
    rooms.ListRootRooms(names, tables, nullptr);
    // The tables as the database looks them up, so the dialog and a failure name them so.
    for (std::string &table : tables)
        table = TableNameAsLookedUp(rooms.GetConnectionString(), table);
    CFindPostDialog dialog(
            window_, std::move(names), std::move(tables),
            [&rooms](std::int32_t root, std::vector<std::string> &paths,
                     std::vector<std::string> &roomids) {
                rooms.ListSubRooms(root, paths, roomids);
            },
            DialectOf(rooms.GetConnectionString()),
            [&rooms](const std::string &table) {
                return TitleIndexExists(rooms.GetConnectionString(), table);
            });
    if (UiSeam::ExecModal(dialog) != QDialog::Accepted || dialog.chosenRootIndex() < 0)
        return;
    listing_.RunFindQuery(dialog.statement(), dialog.chosenRootIndex());
}

std::vector<CPostCommands::SelectedRow> CPostCommands::selectedRows() const
{
    std::vector<SelectedRow> rows;
    CPostListView *list = list_;
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        QTreeWidgetItem *item = list->topLevelItem(row);
        if (!item->isSelected())
            continue;
        SelectedRow selected;
        selected.item = item;
        selected.info = list->GetRowPostInfo(row);
        selected.topicid = selected.info.topicidText;
        selected.roomText = selected.info.roomname;
        rows.push_back(std::move(selected));
    }
    return rows;
}

bool CPostCommands::composeFailed(bool composed, const std::string &problem)
{
    if (!composed)
        UiSeam::ShowMessage(window_, Gbk::toQString(problem), QMessageBox::Warning);
    return !composed;
}

bool CPostCommands::runStatement(const BoundStatement &statement, const std::string &deleteTable,
                                 const std::vector<std::string> *deleted)
{
    const StatementOutcome outcome = deleted
            ? RunPostDelete(rooms_.GetConnectionString(), statement, deleteTable, *deleted)
            : RunPostStatement(rooms_.GetConnectionString(), statement);
    if (outcome.stage == StatementOutcome::Done)
        return true;
    if (outcome.stage == StatementOutcome::OpenFailed) {
        if (!outcome.report.empty())
            qWarning("%s", qPrintable(Gbk::toQString(outcome.report)));
        UiSeam::ShowDetailedMessage(window_, text(PostCommandText::ConnectionFailed),
                                    Gbk::toQString(outcome.report), QMessageBox::Warning);
        return false;
    }
    const std::string message = FormatText(Gbk::literal(PostCommandText::StatementFailed).c_str(),
                                           ShortenedText(statement.shown()).c_str());
    UiSeam::ShowMessage(window_, Gbk::toQString(message + "\n\n" + outcome.report),
                        QMessageBox::Critical);
    return false;
}

void CPostCommands::removeRows(const std::vector<SelectedRow> &rows)
{
    std::vector<std::string> topicids;
    for (const SelectedRow &row : rows) {
        topicids.push_back(row.topicid);
        delete row.item;
    }
    listing_.PostRowsRemoved(topicids);
}

bool CPostCommands::rowsNamePosts(const std::vector<SelectedRow> &rows)
{
    const char *problem = rows.empty()   ? PostCommandText::NothingSelected
            : !list_->HasTopicIdColumn() ? PostCommandText::NoTopicIdColumn
            // A search of the whole archive lists posts of several tables: which table a
            // row's post is in is not known here, so none is changed.
            : listing_.currentRootIndex() < 0 ? PostCommandText::RowsOfSeveralTables
                                              : nullptr;
    if (problem)
        UiSeam::ShowMessage(window_, text(problem), QMessageBox::Warning);
    return !problem;
}

void CPostCommands::DeletePosts()
{
    const std::vector<SelectedRow> rows = selectedRows();
    if (!rowsNamePosts(rows))
        return;
    RoomModel &rooms = rooms_;
    const int root = listing_.currentRootIndex();
    std::vector<std::string> topicids, files;
    CConfirmOperationDialog confirm(window_);
    for (std::size_t k = 0; k < rows.size(); ++k) {
        topicids.push_back(rows[k].topicid);
        confirm.AddItem(Gbk::toQString(rows[k].topicid),
                        k == 0 ? text(PostCommandText::ConfirmDeleteRows) : QString());
        if (const std::optional<PostRowInfo> located = fileRow(rows[k].info))
            files.push_back(rooms.LocatePostFile(*located, root));
    }
    BoundStatement statement;
    std::string problem;
    const std::string table =
            TableNameAsLookedUp(rooms.GetConnectionString(), rooms.GetRootTable(root));
    if (composeFailed(ComposeDeleteStatement(table, topicids, statement, problem), problem))
        return;
    if (UiSeam::ExecModal(confirm) != QDialog::Accepted)
        return;
    if (!runStatement(statement, table, &topicids))
        return;
    removeRows(rows);

    int deleted = 0;
    if (!files.empty()) {
        CConfirmOperationDialog confirmFiles(window_);
        for (std::size_t k = 0; k < files.size(); ++k)
            confirmFiles.AddItem(Gbk::toQString(FileSystem::normalize(files[k])),
                                 k == 0 ? text(PostCommandText::ConfirmDeleteFiles) : QString());
        if (UiSeam::ExecModal(confirmFiles) != QDialog::Accepted)
            return;
        deleted = DeletePostFiles(files);
    }
    UiSeam::ShowMessage(
            window_,
            Gbk::toQString(FormatText(Gbk::literal(PostCommandText::Deleted).c_str(), deleted)),
            QMessageBox::Information);
}

void CPostCommands::MovePosts()
{
    const std::vector<SelectedRow> rows = selectedRows();
    if (!rowsNamePosts(rows))
        return;
    const RoomModel &rooms = rooms_;
    const int root = listing_.currentRootIndex();
    CMovePostDialog dialog(window_);
    std::vector<std::string> topicids;
    for (const SelectedRow &row : rows) {
        topicids.push_back(row.topicid);
        dialog.AddPost(row.topicid, row.roomText);
    }
    // The targets: the top-level room itself, then every room below it.
    std::vector<std::string> names, tables, roomids;
    rooms.ListRootRooms(names, tables, &roomids);
    if (root >= 0 && std::size_t(root) < names.size()) {
        dialog.SetTable(tables[std::size_t(root)]);
        dialog.AddTarget(names[std::size_t(root)], roomids[std::size_t(root)]);
    }
    std::vector<std::string> paths, subRoomIds;
    rooms.ListSubRooms(root, paths, subRoomIds);
    for (std::size_t i = 0; i < paths.size(); ++i)
        dialog.AddTarget(paths[i], subRoomIds[i]);

    // A wrong topicid is reported before anything is asked.
    BoundStatement statement;
    std::string problem;
    const std::string table =
            TableNameAsLookedUp(rooms.GetConnectionString(), rooms.GetRootTable(root));
    if (composeFailed(ComposeDeleteStatement(table, topicids, statement, problem), problem))
        return;
    if (UiSeam::ExecModal(dialog) != QDialog::Accepted || dialog.chosenIndex() < 0)
        return;
    if (composeFailed(
                ComposeMoveStatement(table, dialog.chosenRoomId(), topicids, statement, problem),
                problem))
        return;
    if (!runStatement(statement))
        return;
    removeRows(rows);
    listing_.ShowQueryStatus(Gbk::literal(PostCommandText::Moved));
    const std::string target = RoomIdWithoutMarker(dialog.chosenRoomId());
    movePostFiles(rows, target, rooms.FindRoomName(target));
}

void CPostCommands::movePostFiles(const std::vector<SelectedRow> &rows, const std::string &roomid,
                                  const std::string &roomname)
{
    RoomModel &rooms = rooms_;
    const int root = listing_.currentRootIndex();
    long long number = 0;
    if (!ParseIntegerText(roomid, number))
        return; // the list keeps numeric roomids only, so the file has no other place
    std::vector<PostFileMove> moves;
    for (const SelectedRow &row : rows) {
        const std::optional<PostRowInfo> located = fileRow(row.info);
        if (!located)
            continue;
        PostRowInfo moved = *located;
        moved.roomid = static_cast<std::uint32_t>(number);
        moved.roomname = roomname;
        moves.push_back({rooms.LocatePostFile(*located, root), rooms.LocatePostFile(moved, root)});
    }
    const std::vector<PostFileMoveFailure> failures = MovePostFiles(moves);
    if (failures.empty())
        return;
    std::string message = Gbk::literal(PostCommandText::FilesNotMoved);
    for (const PostFileMoveFailure &failure : failures)
        message += "\n"
                + FormatText(Gbk::literal(PostCommandText::FileMoveLine).c_str(),
                             FileSystem::normalize(failure.move.from).c_str(),
                             FileSystem::normalize(failure.move.to).c_str(),
                             failure.reason.c_str());
    UiSeam::ShowMessage(window_, Gbk::toQString(message), QMessageBox::Warning);
}
