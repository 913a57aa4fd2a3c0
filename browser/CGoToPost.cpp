#include "CGoToPost.h"

#include "CLeftTreeView.h"
#include "browser/ShellTexts.h"
#include "browser/posts/CPostPanelFrame.h"
#include "browser/posts/PostLookup.h"
#include "browser/posts/PostStatements.h"
#include "browser/rooms/PostCommandTexts.h"
#include "browser/rooms/PostListTexts.h"
#include "common/Codec.h"
#include "common/TextFormat.h"
#include "common/UiSeam.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QToolBar>

CGoToPost::CGoToPost(QWidget *window, QToolBar *toolBar, CLeftTreeView *tree,
                     CPostPanelFrame *panel)
    : QObject(window)
    , window_(window)
    , toolBar_(toolBar)
    , tree_(tree)
    , panel_(panel)
{
    field_ = new QLineEdit(window);
    field_->setObjectName(QStringLiteral("goToPostField"));
    field_->setPlaceholderText(QString::fromUtf8(PostCommandText::GoToPlaceholder));
    field_->setToolTip(QString::fromUtf8(PostCommandText::GoToTip));
    field_->setStatusTip(QString::fromUtf8(PostCommandText::GoToTip));
    field_->setClearButtonEnabled(true);
    field_->setMaximumWidth(field_->fontMetrics().horizontalAdvance(QStringLiteral("0")) * 16);
    toolBar_->addSeparator();
    toolBar_->addWidget(field_);

    shortcut_ = new QAction(this);
    shortcut_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    shortcut_->setShortcutContext(Qt::WindowShortcut);
    window->addAction(shortcut_);
    connect(shortcut_, &QAction::triggered, this, [this] {
        // The field may sit on a hidden toolbar: show it first.
        toolBar_->show();
        field_->setFocus(Qt::ShortcutFocusReason);
        field_->selectAll();
    });
    connect(field_, &QLineEdit::returnPressed, this, [this] { GoToPost(field_->text()); });
}

bool CGoToPost::GoToPost(const QString &text)
{
    const std::string typed = Gbk::fromQString(text.trimmed());
    long long topicid = 0;
    if (!ParseIntegerText(typed, topicid) || topicid < 0) {
        UiSeam::ShowMessage(
                window_,
                Gbk::toQString(FormatText(Gbk::literal(PostCommandText::GoToBadId).c_str(),
                                          typed.c_str())),
                QMessageBox::Warning);
        return false;
    }
    RoomModel &rooms = tree_->rooms();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const PostLookup lookup = FindPostById(rooms, rooms.GetConnectionString(), topicid);
    QApplication::restoreOverrideCursor();
    if (!lookup.report.empty())
        qWarning("%s", qPrintable(Gbk::toQString(lookup.report)));
    if (lookup.outcome == PostLookup::OpenFailed) {
        UiSeam::ShowDetailedMessage(window_, QString::fromUtf8(PostListText::OpenFailed),
                                    Gbk::toQString(lookup.report), QMessageBox::Critical);
        return false;
    }
    if (lookup.outcome == PostLookup::NotFound) {
        std::string message = FormatText(Gbk::literal(PostCommandText::GoToNotFound).c_str(),
                                         std::to_string(topicid).c_str());
        if (!lookup.failedTables.empty()) {
            std::string tables;
            for (const std::string &table : lookup.failedTables)
                tables += (tables.empty() ? "" : ", ") + table;
            message += FormatText(Gbk::literal(PostCommandText::GoToTablesFailed).c_str(),
                                  tables.c_str());
        }
        UiSeam::ShowMessage(window_, Gbk::toQString(message), QMessageBox::Information);
        return false;
    }

    const int record = FindRoomRecord(rooms, lookup.rootIndex, lookup.roomid);
    if (QTreeWidgetItem *item = tree_->itemOf(rooms.GetRoomRecord(record).treeItem)) {
        for (QTreeWidgetItem *ancestor = item->parent(); ancestor; ancestor = ancestor->parent())
            ancestor->setExpanded(true);
        tree_->setCurrentItem(item);
        tree_->scrollToItem(item);
    }
    std::string why;
    std::string archive;
    const std::string path = rooms.LocatePostFile(lookup.info, lookup.rootIndex, &archive);
    if (!panel_->OpenPost(lookup.info.title, path, archive, why, std::to_string(topicid))) {
        if (!why.empty())
            qWarning("%s", qPrintable(Gbk::toQString(why)));
        UiSeam::ShowMessage(window_, QString::fromUtf8(KestrelText::OpenPostFailed),
                            QMessageBox::Critical);
        return false;
    }
    return true;
}
