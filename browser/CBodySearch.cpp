#include "CBodySearch.h"

#include "CBodyIndexBuildDialog.h"
#include "CKestrelCommands.h"
#include "CLeftTreeView.h"
#include "browser/ShellTexts.h"
#include "browser/posts/HitHighlight.h"
#include "browser/posts/PostListController.h"
#include "common/Codec.h"
#include "common/UiSeam.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolBar>

namespace {
QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}
} // namespace

CBodySearch::CBodySearch(QWidget *window, const CKestrelCommands &commands, CLeftTreeView *tree,
                         PostListController &listing)
    : QObject(window)
    , window_(window)
    , toolBar_(commands.mainToolBar)
    , tree_(tree)
    , listing_(listing)
    , field_(new QLineEdit(window))
    , scope_(new QLabel(window))
{
    using namespace KestrelText;
    field_->setObjectName(QStringLiteral("bodySearchField"));
    field_->setPlaceholderText(text(BodySearchPlaceholder));
    field_->setClearButtonEnabled(true);
    field_->setMinimumWidth(field_->fontMetrics().horizontalAdvance(QStringLiteral("0")) * 24);
    field_->setMaximumWidth(field_->fontMetrics().horizontalAdvance(QStringLiteral("0")) * 40);
    scope_->setObjectName(QStringLiteral("bodySearchScope"));
    scope_->setContentsMargins(6, 0, 4, 0);
    build_ = new QAction(window->style()->standardIcon(QStyle::SP_BrowserReload),
                         text(BuildBodyIndex.text), this);
    build_->setToolTip(text(BuildBodyIndex.tooltip));
    build_->setStatusTip(text(BuildBodyIndex.prompt));
    toolBar_->addSeparator();
    toolBar_->addWidget(field_);
    toolBar_->addWidget(scope_);

    connect(commands.bodySearch, &QAction::triggered, this, &CBodySearch::focusField);
    connect(field_, &QLineEdit::returnPressed, this, [this] { Search(field_->text()); });
    connect(build_, &QAction::triggered, this, [this] {
        if (BuildIndexes() && !field_->text().trimmed().isEmpty())
            Search(field_->text());
    });
    connect(tree_, &QTreeWidget::currentItemChanged, this, &CBodySearch::showPlace);
    showPlace();
}

void CBodySearch::focusField()
{
    // The field may sit on a hidden toolbar: show it first.
    toolBar_->show();
    field_->setFocus(Qt::ShortcutFocusReason);
    field_->selectAll();
    showPlace();
    const BodySearchPlace place = BodySearchPlaceOf(tree_->rooms(), tree_->SelectedRoom());
    std::string notReady, problem;
    if (!place.tables.empty()
        && CheckBodyIndexes(tree_->rooms().GetConnectionString(), place.tables, notReady, problem)
                == 0)
        showIndexState(notReady.empty());
}

void CBodySearch::showPlace()
{
    const BodySearchPlace place = BodySearchPlaceOf(tree_->rooms(), tree_->SelectedRoom());
    const QString label = Gbk::toQString(place.label);
    scope_->setText(text(KestrelText::BodySearchScopeLabel).arg(label));
    field_->setToolTip(text(KestrelText::BodySearchTip).arg(label));
    field_->setStatusTip(field_->toolTip());
}

void CBodySearch::showIndexState(bool ready)
{
    field_->setPlaceholderText(text(ready ? KestrelText::BodySearchPlaceholder
                                          : KestrelText::BodySearchNoIndexPlaceholder));
    // In the field only while it is needed (a hidden action still shows its button).
    if (ready)
        field_->removeAction(build_);
    else if (!field_->actions().contains(build_))
        field_->addAction(build_, QLineEdit::TrailingPosition);
}

bool CBodySearch::indexesReady(const BodySearchPlace &place)
{
    std::string notReady, problem;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const long code =
            CheckBodyIndexes(tree_->rooms().GetConnectionString(), place.tables, notReady, problem);
    QApplication::restoreOverrideCursor();
    if (code != 0) {
        UiSeam::ShowDetailedMessage(
                window_,
                text(KestrelText::BodySearchStateFailed)
                        .arg(Gbk::toQString(place.label), Gbk::toQString(problem)),
                Gbk::toQString(problem), QMessageBox::Critical);
        return false;
    }
    showIndexState(notReady.empty());
    if (notReady.empty())
        return true;
    const auto answer = UiSeam::ShowMessage(
            window_, text(KestrelText::BodySearchOfferBuild).arg(Gbk::toQString(notReady)),
            QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    return answer == QMessageBox::Yes && BuildIndexes();
}

bool CBodySearch::Search(const QString &typed)
{
    SearchQuery query;
    std::string problem;
    if (!ParseSearchQuery(Gbk::fromQString(typed), query, problem)) {
        UiSeam::ShowMessage(window_, Gbk::toQString(problem), QMessageBox::Warning);
        return false;
    }
    const BodySearchPlace place = BodySearchPlaceOf(tree_->rooms(), tree_->SelectedRoom());
    if (place.tables.empty()) {
        UiSeam::ShowMessage(window_, Gbk::toQString(place.problem), QMessageBox::Warning);
        return false;
    }
    if (!indexesReady(place))
        return false;
    const QStringList patterns = HitPatterns(query);
    auto listing = std::make_unique<BodyHitListing>(
            tree_->rooms(), tree_->rooms().GetConnectionString(), place.tables, std::move(query));
    const BodyHitListing *made = listing.get();
    if (!listing_.RunPagedListing(std::move(listing), place.rootIndex()))
        return false;
    listed_ = made;
    listedPatterns_ = patterns;
    return true;
}

bool CBodySearch::BuildIndexes()
{
    const BodySearchPlace place = BodySearchPlaceOf(tree_->rooms(), tree_->SelectedRoom());
    std::vector<BodyIndexTarget> targets;
    for (const BodySearchTable &table : place.tables)
        targets.push_back({table.table, table.rootIndex});
    if (targets.empty()) {
        UiSeam::ShowMessage(window_, Gbk::toQString(place.problem), QMessageBox::Warning);
        return false;
    }
    // The build writes beside the listed room's result: let it go first.
    listing_.ReleasePostResult();
    const int listedRoom = listing_.ForgetCurrentRoom();
    CBodyIndexBuildDialog dialog(window_, tree_->rooms(), std::move(targets));
    UiSeam::ExecModal(dialog);
    if (listedRoom >= 0)
        listing_.OpenRoom(listedRoom);
    const bool completed = dialog.completed();
    showIndexState(completed);
    return completed;
}

QStringList CBodySearch::HitPatternsOfList() const
{
    return listed_ && listing_.pagedListing() == listed_ ? listedPatterns_ : QStringList();
}
