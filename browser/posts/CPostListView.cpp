#include "CPostListView.h"

#include "CSnippetDelegate.h"
#include "browser/rooms/KestrelEvents.h"
#include "browser/rooms/PostListTexts.h"
#include "common/Codec.h"
#include "common/ViewLook.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>

namespace {
constexpr int RoomIdRole = Qt::UserRole;
}

CPostListView::CPostListView(QObject *eventTarget, QWidget *parent)
    : QTreeWidget(parent)
    , eventTarget_(eventTarget)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    header()->setDefaultAlignment(Qt::AlignCenter);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    setSortingEnabled(false);

    // The pixel widths of the columns were made for an 8-point font: seven-digit post
    // IDs fit their 55 pixels.
    QFont listFont = font();
    if (listFont.pointSizeF() > 8)
        listFont.setPointSizeF(8);
    setFont(listFont);

    KeepSelectionVisible(this);
    snippetDelegate_ = new CSnippetDelegate(this);

    SetupColumns();
}

void CPostListView::DeleteAllColumns()
{
    clear();
    setColumnCount(0);
}

void CPostListView::SetupColumns(bool snippets)
{
    QStringList headers;
    for (int slot : columns_.ShownSlots())
        headers << Gbk::toQString(columns_.slot(slot).header);
    snippets_ = snippets;
    if (snippets_)
        headers << QString::fromUtf8(PostListText::SnippetHeader);
    setColumnCount(int(headers.size()));
    setHeaderLabels(headers);
    for (int column = 0; column < columnCount(); ++column)
        setItemDelegateForColumn(column, nullptr);
    if (snippets_)
        setItemDelegateForColumn(columnCount() - 1, snippetDelegate_);
}

void CPostListView::SetRowSnippet(int row, const QString &text, int markBegin, int markLength)
{
    QTreeWidgetItem *item = topLevelItem(row);
    if (!item || !snippets_)
        return;
    const int column = columnCount() - 1;
    item->setText(column, text);
    item->setToolTip(column, text);
    item->setData(column, CSnippetDelegate::MarkRole, QPoint(markBegin, markLength));
}

QString CPostListView::RowSnippet(int row) const
{
    const QTreeWidgetItem *item = topLevelItem(row);
    return item && snippets_ ? item->text(columnCount() - 1) : QString();
}

int CPostListView::ClientWidth() const
{
    return viewport()->width();
}

void CPostListView::ResizeColumns(int width)
{
    // What a date with its time needs, the widest text the sharing columns usually hold.
    const int wantedShare =
            fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")) + 12;
    // The snippet takes two fifths; the post's own columns share the rest as usual.
    const int snippetWidth = snippets_ ? width * 2 / 5 : 0;
    const std::vector<int> widths = columns_.ColumnWidths(width - snippetWidth, wantedShare);
    for (std::size_t i = 0; i < widths.size() && int(i) < columnCount(); ++i)
        setColumnWidth(int(i), widths[i]);
    if (snippets_)
        setColumnWidth(columnCount() - 1, snippetWidth);
}

void CPostListView::AddPostRow(const std::vector<std::optional<std::string>> &values,
                               std::uint32_t itemData)
{
    auto *item = new QTreeWidgetItem;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (values[i])
            item->setText(int(i), Gbk::toQString(*values[i]));
        item->setTextAlignment(int(i), Qt::AlignCenter);
    }
    item->setData(0, RoomIdRole, QVariant::fromValue<uint>(itemData));
    addTopLevelItem(item);
}

std::uint32_t CPostListView::RowItemData(int row) const
{
    const QTreeWidgetItem *item = topLevelItem(row);
    return item ? item->data(0, RoomIdRole).toUInt() : 0;
}

PostRowInfo CPostListView::GetRowPostInfo(int row) const
{
    PostRowInfo info;
    const QTreeWidgetItem *item = topLevelItem(row);
    if (!item)
        return info;
    // By field, not by position: without a title the post ID comes first, and a room
    // whose name is digits must never pass for a post ID.
    const auto textOf = [&](int slot) {
        const int column = columns_.ColumnOf(slot);
        return column < 0 ? std::string() : Gbk::fromQString(item->text(column));
    };
    info.title = textOf(PostColumnTable::TitleSlot);
    info.topicidText = textOf(PostColumnTable::TopicIdSlot);
    info.roomname = textOf(PostColumnTable::RoomIdSlot);
    info.roomid = RowItemData(row);
    return info;
}

bool CPostListView::HasTopicIdColumn() const
{
    return columns_.ColumnOf(PostColumnTable::TopicIdSlot) >= 0;
}

bool CPostListView::viewportEvent(QEvent *event)
{
    // The client area also changes when a scroll bar comes or goes.
    if (event->type() == QEvent::Resize && ClientWidth() != lastClientWidth_) {
        lastClientWidth_ = ClientWidth();
        ResizeColumns(lastClientWidth_);
    }
    return QTreeWidget::viewportEvent(event);
}

void CPostListView::openMarkedRow()
{
    QTreeWidgetItem *marked = currentItem();
    if (!marked || !eventTarget_)
        return;
    QCoreApplication::postEvent(eventTarget_,
                                new CIndexEvent(WM_OPEN_POST, indexOfTopLevelItem(marked)));
}

void CPostListView::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
    if (event->button() == Qt::LeftButton)
        openMarkedRow();
}

void CPostListView::keyPressEvent(QKeyEvent *event)
{
    if (IsEnterKey(event)) {
        openMarkedRow();
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

void CPostListView::contextMenuEvent(QContextMenuEvent *event)
{
    if (postMenu_)
        postMenu_->exec(event->globalPos());
    event->accept();
}
