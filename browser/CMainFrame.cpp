#include "CMainFrame.h"

#include "CGoToPost.h"
#include "CImportController.h"
#include "CKestrelCommands.h"
#include "CLeftTreeView.h"
#include "CMainStatusBar.h"
#include "CPostCommands.h"
#include "CRoomPropertiesDialog.h"
#include "browser/ShellTexts.h"
#include "browser/db/BoundStatement.h"
#include "browser/db/CAdoRecordset.h"
#include "browser/db/DbEndpoint.h"
#include "browser/db/EmbeddedDatabase.h"
#include "browser/posts/CPostListView.h"
#include "browser/posts/CPostPanelFrame.h"
#include "browser/posts/PostPager.h"
#include "browser/posts/PostQuery.h"
#include "browser/rooms/KestrelEvents.h"
#include "browser/rooms/PostListTexts.h"
#include "common/CAboutDialog.h"
#include "common/Codec.h"
#include "common/TextFormat.h"
#include "common/UiSeam.h"

#include <QAction>
#include <QApplication>
#include <QLayout>
#include <QScreen>
#include <QSplitter>
#include <QStatusTipEvent>

// The icons live in a static library: make sure its resources are linked in.
static void initKestrelResources()
{
    Q_INIT_RESOURCE(kestrel);
}

namespace {
QSplitter *paneSplitter(Qt::Orientation orientation, QWidget *parent)
{
    auto *splitter = new QSplitter(orientation, parent);
    splitter->setHandleWidth(4);
    splitter->setChildrenCollapsible(false);
    splitter->setOpaqueResize(true);
    return splitter;
}
} // namespace

CMainFrame::CMainFrame()
    : commands_(new CKestrelCommands(this))
    , status_(new CMainStatusBar(this))
    , pager_(std::make_unique<PostPager>(
              [this](const std::string &roomid) { return tree_->rooms().FindRoomName(roomid); }))
{
    initKestrelResources();
    UiSeam::SetProgramCaption(QString::fromUtf8(KestrelText::ProgramCaption));
    setWindowTitle(QString::fromUtf8(KestrelText::MainWindowTitle));
    setWindowIcon(QIcon(QStringLiteral(":/kestrel/Kestrel.svg")));
    setStatusBar(status_);

    columns_ = paneSplitter(Qt::Horizontal, this);
    tree_ = new CLeftTreeView(this, columns_);
    rows_ = paneSplitter(Qt::Vertical, columns_);
    list_ = new CPostListView(this, rows_);
    panel_ = new CPostPanelFrame(rows_);
    columns_->addWidget(tree_);
    columns_->addWidget(rows_);
    // Both columns give way in proportion when the window narrows.
    columns_->setStretchFactor(0, 1);
    columns_->setStretchFactor(1, 1);
    rows_->setStretchFactor(1, 1);
    setCentralWidget(columns_);
    tree_->setRoomMenu(commands_->roomMenu);
    list_->setPostMenu(commands_->postMenu);
    commands_->AttachListKeys(tree_, list_);

    connect(commands_->statusBar, &QAction::toggled, status_, &QStatusBar::setVisible);
    commands_->statusBar->setChecked(true);
    connect(commands_->roomProperties, &QAction::triggered, this, &CMainFrame::ShowRoomProperties);
    connect(commands_->about, &QAction::triggered, this, &CMainFrame::ShowAbout);
    connect(commands_->firstPage, &QAction::triggered, this, &CMainFrame::ShowFirstPage);
    connect(commands_->nextPage, &QAction::triggered, this, &CMainFrame::ShowNextPage);
    connect(commands_->previousPage, &QAction::triggered, this, &CMainFrame::ShowPreviousPage);
    connect(commands_->refreshPosts, &QAction::triggered, this, &CMainFrame::RefreshPosts);
    connect(commands_->nextPane, &QAction::triggered, this, [this] { MoveFocusToPane(1); });
    connect(commands_->previousPane, &QAction::triggered, this, [this] { MoveFocusToPane(-1); });

    postCommands_ = new CPostCommands(this);
    goToPost_ = new CGoToPost(this);
    imports_ = new CImportController(this);

    const QRect available = screen() ? screen()->availableGeometry() : QRect(0, 0, 1280, 800);
    resize(std::min(1200, available.width() * 9 / 10), std::min(800, available.height() * 9 / 10));
}

CMainFrame::~CMainFrame() = default;

bool CMainFrame::LoadConfiguration(const std::optional<std::string> &argument)
{
    std::string path, reason;
    if (!tree_->LoadTreeConfig(argument, path, reason)) {
        // The reason goes into the box: a desktop start shows no standard error.
        const QString details = Gbk::toQString(ShortenedText(reason));
        if (!details.isEmpty())
            qWarning("%s: %s", qPrintable(Gbk::toQString(path)), qPrintable(details));
        UiSeam::ShowDetailedMessage(
                this, Gbk::toQString(path) + QString::fromUtf8(KestrelText::ConfigOpenError),
                details, QMessageBox::Critical);
        return false;
    }
    const std::vector<std::string> &warnings = tree_->rooms().LoadWarnings();
    if (!warnings.empty()) {
        std::string lines;
        for (const std::string &warning : warnings)
            lines += "\n" + warning;
        UiSeam::ShowMessage(
                this,
                Gbk::toQString(
                        FormatText(Gbk::literal(KestrelText::ConfigWarnings).c_str(), path.c_str())
                        + ShortenedText(lines)),
                QMessageBox::Warning);
    }
    PrepareDatabase();
    tree_->SelectStartRoom();
    return true;
}

void CMainFrame::PrepareDatabase()
{
    // A new embedded database gets the post tables of the configuration; an existing
    // one is left as it is.
    std::vector<std::string> names, tables;
    tree_->rooms().ListRootRooms(names, tables, nullptr);
    std::vector<std::string> postTables;
    for (const std::string &table : tables) {
        if (!table.empty())
            postTables.push_back(table);
    }
    std::string why;
    if (EnsureEmbeddedDatabase(tree_->rooms().GetConnectionString(), postTables, why) != 0)
        UiSeam::ShowMessage(
                this, QString::fromUtf8(KestrelText::DatabaseNotCreated) + Gbk::toQString(why),
                QMessageBox::Warning);
}

bool CMainFrame::event(QEvent *event)
{
    if (event->type() == QEvent::StatusTip) {
        // Prompts go to the first pane; the other panes stay in place.
        status_->SetPrompt(static_cast<QStatusTipEvent *>(event)->tip());
        return true;
    }
    if (event->type() == WM_OPEN_ROOM) {
        OpenRoom(static_cast<CIndexEvent *>(event)->index());
        return true;
    }
    if (event->type() == WM_OPEN_POST) {
        OpenPostOfRow(static_cast<CIndexEvent *>(event)->index());
        return true;
    }
    return QMainWindow::event(event);
}

void CMainFrame::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!sized_) {
        sized_ = true;
        ApplyInitialPaneSizes();
    }
}

void CMainFrame::ApplyInitialPaneSizes()
{
    if (layout())
        layout()->activate();
    const QSize client = columns_->size();
    const int treeWidth = client.width() / 5;
    columns_->setSizes(
            {treeWidth, std::max(1, client.width() - treeWidth - columns_->handleWidth())});
    const int listHeight = client.height() / 3;
    rows_->setSizes({listHeight, std::max(1, client.height() - listHeight - rows_->handleWidth())});
}

void CMainFrame::OpenRoom(int recordIndex)
{
    if (recordIndex == currentRoomIndex_)
        return;
    const RoomRecord record = tree_->rooms().GetRoomRecord(recordIndex);
    if (!record.treeItem)
        return;
    // The indices name the room whose rows are listed: after a failed query the rows of
    // the previous room stay, and so do its indices.
    const int rootIndex = record.rootIndex & 0xFFFF;
    const std::string &connection = tree_->rooms().GetConnectionString();
    const std::string table =
            TableNameAsLookedUp(connection, tree_->rooms().GetRootTable(rootIndex));
    if (RunPostQuery(RoomPostsQuery(table, record.roomid))) {
        currentRoomIndex_ = recordIndex;
        currentRootIndex_ = rootIndex;
        listedFind_.reset();
    }
}

void CMainFrame::RefreshPosts()
{
    // Listing a room again by double-click keeps its rows; F5 asks the database again, so
    // a shared archive shows what other users have added or removed since.
    if (currentRoomIndex_ >= 0) {
        const int room = ForgetCurrentRoom();
        OpenRoom(room);
        if (currentRoomIndex_ < 0)
            currentRoomIndex_ = room; // the query failed: its rows and indices stay
    } else if (listedFind_) {
        RunFindQuery(BoundStatement(*listedFind_), currentRootIndex_);
    }
}

void CMainFrame::PostRowsRemoved(const std::vector<std::string> &topicids)
{
    ApplyPage(pager_->RowsRemoved(topicids, list_->topLevelItemCount()));
}

int CMainFrame::ForgetCurrentRoom()
{
    const int listed = currentRoomIndex_;
    currentRoomIndex_ = -1;
    return listed;
}

void CMainFrame::ReleasePostResult()
{
    pager_->ResultForQuery().reset();
}

bool CMainFrame::RunPostQuery(const std::string &sql)
{
    return RunPostQuery(BoundStatement {sql, {}, {}});
}

void CMainFrame::RunFindQuery(const BoundStatement &query, int rootIndex)
{
    if (!RunPostQuery(query))
        return;
    currentRoomIndex_ = -1;
    currentRootIndex_ = rootIndex;
    listedFind_ = query;
}

bool CMainFrame::RunPostQuery(const BoundStatement &query)
{
    status_->SetQueryStatus(QString::fromUtf8(PostListText::Querying));
    status_->repaint();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const PostQueryOutcome outcome =
            RunPostQueryInto(*pager_, tree_->rooms().GetConnectionString(), query);
    if (outcome.stage == PostQueryOutcome::Done) {
        list_->DeleteAllColumns();
        list_->columnTable().RecomputeShown(pager_->FieldNames());
        list_->SetupColumns();
        list_->ResizeColumns(list_->ClientWidth());
        ShowFirstPage();
        QApplication::restoreOverrideCursor();
        return true;
    }
    // The message needs the normal cursor; the rows of the last query stay listed.
    QApplication::restoreOverrideCursor();
    if (!outcome.report.empty())
        qWarning("%s", qPrintable(Gbk::toQString(outcome.report)));
    const QString message = outcome.stage == PostQueryOutcome::OpenFailed
            ? QString::fromUtf8(PostListText::OpenFailed)
            : Gbk::toQString(FormatText(Gbk::literal(PostListText::QueryFailed).c_str(),
                                        ShortenedText(query.shown()).c_str()));
    // The database's own words (a refused connection, a table it did not find) go into the
    // details; the report shows no password.
    UiSeam::ShowDetailedMessage(this, message, Gbk::toQString(outcome.report),
                                QMessageBox::Critical);
    status_->SetQueryStatus(Gbk::toQString(
            FormatText(Gbk::literal(PostListText::QueryStatusError).c_str(), outcome.code)));
    return false;
}

void CMainFrame::ApplyPage(const std::optional<PostPage> &page)
{
    if (!page)
        return;
    if (page->replaceRows) {
        list_->setUpdatesEnabled(false);
        list_->clear();
        for (const PostListRow &row : page->rows)
            list_->AddPostRow(row.values, row.itemData);
        list_->setUpdatesEnabled(true);
        pageRows_ = int(page->rows.size());
    }
    status_->SetQueryStatus(Gbk::toQString(page->status));
}

void CMainFrame::ShowFirstPage()
{
    ApplyPage(pager_->FirstPage(list_->columnTable()));
}

void CMainFrame::ShowNextPage()
{
    ApplyPage(pager_->NextPage(list_->columnTable()));
}

void CMainFrame::ShowPreviousPage()
{
    // Rows that a delete or move took out of the list were still on the page.
    ApplyPage(pager_->PreviousPage(list_->columnTable(), pageRows_));
}

void CMainFrame::OpenPostOfRow(int row)
{
    // Whatever fails on the way, the list and the panel stay as they were.
    bool opened = false;
    std::string why;
    try {
        if (row >= 0 && row < list_->topLevelItemCount()) {
            const PostRowInfo info = list_->GetRowPostInfo(row);
            std::string archive;
            const std::string path =
                    tree_->rooms().LocatePostFile(info, currentRootIndex_, &archive);
            opened = panel_->OpenPost(info.title, path, archive, why, info.topicidText);
        }
    } catch (const std::exception &error) {
        why = error.what();
    }
    if (!opened) {
        if (!why.empty())
            qWarning("%s", qPrintable(Gbk::toQString(why)));
        UiSeam::ShowMessage(this, QString::fromUtf8(KestrelText::OpenPostFailed),
                            QMessageBox::Critical);
    }
}

void CMainFrame::ShowRoomProperties()
{
    const TreeItem room = tree_->SelectedRoom();
    if (!room) {
        UiSeam::ShowMessage(this, QString::fromUtf8(KestrelText::NoRoomSelected),
                            QMessageBox::Warning);
        return;
    }
    const RoomRecord record = tree_->rooms().GetRoomRecordOfItem(room);
    CRoomPropertiesDialog dialog(this, Gbk::toQString(record.roomid),
                                 Gbk::toQString(record.roomname),
                                 Gbk::toQString(tree_->rooms().GetRootTable(record.rootIndex)));
    UiSeam::ExecModal(dialog);
}

void CMainFrame::ShowAbout()
{
    CAboutDialog about(this, QString::fromUtf8(KestrelText::AboutTitle),
                       QString::fromUtf8(KestrelText::AboutText), windowIcon(),
                       QString::fromUtf8(KestrelText::AboutCopyright));
    UiSeam::ExecModal(about);
}

void CMainFrame::MoveFocusToPane(int step)
{
    const QList<QWidget *> panes {tree_, list_, panel_};
    int current = 0;
    for (int i = 0; i < panes.size(); ++i) {
        if (panes[i]->isAncestorOf(focusWidget()) || panes[i] == focusWidget())
            current = i;
    }
    const int next = (current + step + int(panes.size())) % int(panes.size());
    QWidget *target = panes[next];
    if (target->focusPolicy() == Qt::NoFocus && target->focusProxy() == nullptr) {
        if (QWidget *child = target->nextInFocusChain(); child && target->isAncestorOf(child))
            target = child;
    }
    target->setFocus(Qt::ShortcutFocusReason);
}
