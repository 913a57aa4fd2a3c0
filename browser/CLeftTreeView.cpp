#include "CLeftTreeView.h"

#include "browser/rooms/KestrelEvents.h"
#include "common/Codec.h"
#include "common/ViewLook.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>

namespace {
constexpr int RecordRole = Qt::UserRole;

QTreeWidgetItem *makeItems(TreeItem room)
{
    auto *item = new QTreeWidgetItem(QStringList {Gbk::toQString(room->label)});
    item->setData(0, RecordRole, room->recordIndex);
    for (TreeItem child : room->children)
        item->addChild(makeItems(child));
    return item;
}
} // namespace

CLeftTreeView::CLeftTreeView(QObject *eventTarget, QWidget *parent)
    : QTreeWidget(parent)
    , eventTarget_(eventTarget)
{
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setItemsExpandable(true);
    setExpandsOnDoubleClick(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformRowHeights(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);

    KeepSelectionVisible(this);
}

bool CLeftTreeView::LoadTreeConfig(const std::optional<std::string> &argument, std::string &path,
                                   std::string &reason)
{
    path = RoomModel::TreeConfigPath(argument);
    if (!model_.LoadTreeConfig(path, &reason))
        return false;
    fillTree();
    return true;
}

void CLeftTreeView::fillTree()
{
    clear();
    items_.clear();
    QList<QTreeWidgetItem *> topLevel;
    for (TreeItem room : model_.TopLevelItems())
        topLevel.append(makeItems(room));
    addTopLevelItems(topLevel);
    // Index every item once, for the look-ups from model nodes to items.
    QList<QTreeWidgetItem *> pending = topLevel;
    while (!pending.isEmpty()) {
        QTreeWidgetItem *item = pending.takeLast();
        items_.insert(roomOf(item), item);
        for (int i = 0; i < item->childCount(); ++i)
            pending.append(item->child(i));
    }
    collapseAll();
}

TreeItem CLeftTreeView::roomOf(const QTreeWidgetItem *item) const
{
    if (!item)
        return nullptr;
    return model_.GetRoomRecord(item->data(0, RecordRole).toInt()).treeItem;
}

TreeItem CLeftTreeView::SelectedRoom() const
{
    const QList<QTreeWidgetItem *> selected = selectedItems();
    return selected.isEmpty() ? nullptr : roomOf(selected.constFirst());
}

void CLeftTreeView::SelectStartRoom()
{
    QTreeWidgetItem *item = itemOf(model_.StartRoom());
    if (!item)
        return;
    for (QTreeWidgetItem *ancestor = item->parent(); ancestor; ancestor = ancestor->parent())
        ancestor->setExpanded(true);
    setCurrentItem(item);
    scrollToItem(item);
    openSelectedRoom();
}

void CLeftTreeView::openSelectedRoom()
{
    const TreeItem room = SelectedRoom();
    if (!room || !eventTarget_)
        return;
    QCoreApplication::postEvent(eventTarget_, new CIndexEvent(WM_OPEN_ROOM, room->recordIndex));
}

void CLeftTreeView::mouseDoubleClickEvent(QMouseEvent *event)
{
    // Handled here: a double-click opens the room and neither expands nor collapses it.
    if (event->button() == Qt::LeftButton)
        openSelectedRoom();
    event->accept();
}

void CLeftTreeView::keyPressEvent(QKeyEvent *event)
{
    // Enter is the keyboard's double-click; arrows and letters only move the selection.
    if (IsEnterKey(event)) {
        openSelectedRoom();
        event->accept();
        return;
    }
    if (IsContextMenuKey(event)) {
        RequestKeyboardContextMenu(this);
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void CLeftTreeView::mousePressEvent(QMouseEvent *event)
{
    // The room commands act on the selected room, so the right button leaves it.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

void CLeftTreeView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeWidget::mouseReleaseEvent(event);
}

void CLeftTreeView::contextMenuEvent(QContextMenuEvent *event)
{
    if (roomMenu_)
        roomMenu_->exec(event->globalPos());
    event->accept();
}

void CLeftTreeView::drawBranches(QPainter *painter, const QRect &rect,
                                 const QModelIndex &index) const
{
    // Connecting lines with plus and minus boxes, also at the root level.
    const int step = indentation();
    const int ownLeft = rect.right() + 1 - step;
    const int midX = ownLeft + step / 2;
    const int midY = rect.top() + rect.height() / 2;
    const bool hasNext = index.sibling(index.row() + 1, 0).isValid();
    const bool hasAbove = index.row() > 0 || index.parent().isValid();

    painter->save();
    painter->setPen(QPen(palette().color(QPalette::Mid), 1, Qt::DotLine));
    painter->drawLine(midX, midY, ownLeft + step - 2, midY);
    painter->drawLine(midX, hasAbove ? rect.top() : midY, midX, hasNext ? rect.bottom() : midY);
    int x = ownLeft - step;
    for (QModelIndex ancestor = index.parent(); ancestor.isValid(); ancestor = ancestor.parent()) {
        if (ancestor.sibling(ancestor.row() + 1, 0).isValid())
            painter->drawLine(x + step / 2, rect.top(), x + step / 2, rect.bottom());
        x -= step;
    }
    if (model()->hasChildren(index)) {
        const QRect box(midX - 4, midY - 4, 8, 8);
        painter->setPen(QPen(palette().color(QPalette::Dark), 1, Qt::SolidLine));
        painter->fillRect(box, palette().color(QPalette::Base));
        painter->drawRect(box);
        painter->setPen(palette().color(QPalette::Text));
        painter->drawLine(box.left() + 2, midY, box.right() - 2, midY);
        if (!isExpanded(index))
            painter->drawLine(midX, box.top() + 2, midX, box.bottom() - 2);
    }
    painter->restore();
}
