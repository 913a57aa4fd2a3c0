#include "CMainFrame.h"

#include "CBodySearch.h"
#include "CGoToPost.h"
#include "CImportController.h"
#include "CKestrelCommands.h"
#include "CLeftTreeView.h"
#include "CMainStatusBar.h"
#include "CMissingPosts.h"
#include "CPostCommands.h"
#include "CRoomPropertiesDialog.h"
#include "browser/ShellTexts.h"
#include "browser/db/BoundStatement.h"
#include "browser/db/CAdoRecordset.h"
#include "browser/db/DbEndpoint.h"
#include "browser/db/EmbeddedDatabase.h"
#include "browser/posts/CPostListDisplay.h"
#include "browser/posts/CPostListView.h"
#include "browser/posts/CPostPanelFrame.h"
#include "browser/posts/CPostView.h"
#include "browser/posts/PostListController.h"
#include "browser/rooms/KestrelEvents.h"
#include "common/CAboutDialog.h"
#include "common/Codec.h"
#include "common/TextFormat.h"
#include "common/UiSeam.h"

#include <QAction>
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
    listDisplay_ = std::make_unique<CPostListDisplay>(
            list_, this, status_, [this](const QString &text) { status_->SetQueryStatus(text); });
    listing_ = std::make_unique<PostListController>(tree_->rooms(), *listDisplay_);
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
    PostListController *listing = listing_.get();
    connect(commands_->firstPage, &QAction::triggered, this,
            [listing] { listing->ShowFirstPage(); });
    connect(commands_->nextPage, &QAction::triggered, this, [listing] { listing->ShowNextPage(); });
    connect(commands_->previousPage, &QAction::triggered, this,
            [listing] { listing->ShowPreviousPage(); });
    connect(commands_->refreshPosts, &QAction::triggered, this,
            [listing] { listing->RefreshPosts(); });
    connect(commands_->nextPane, &QAction::triggered, this, [this] { MoveFocusToPane(1); });
    connect(commands_->previousPane, &QAction::triggered, this, [this] { MoveFocusToPane(-1); });

    postCommands_ = new CPostCommands(this, *commands_, tree_->rooms(), list_, *listing_);
    goToPost_ = new CGoToPost(this, commands_->mainToolBar, tree_, panel_);
    bodySearch_ = new CBodySearch(this, *commands_, tree_, *listing_);
    imports_ = new CImportController(this, *commands_, tree_, *listing_);
    missingPosts_ = new CMissingPosts(this, *commands_, tree_);

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
        listing_->OpenRoom(static_cast<CIndexEvent *>(event)->index());
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
                    tree_->rooms().LocatePostFile(info, listing_->RootIndexOfRow(row), &archive);
            panel_->view()->MarkHitsOfNextPost(bodySearch_->HitPatternsOfList());
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
