#pragma once

#include <QStyledItemDelegate>

// The snippet column of a body search's hits: the words around the first hit, the hit
// itself in bold on the highlight colour. When the column is too narrow for the whole
// snippet, the words before the hit give way so the hit stays in sight.
class CSnippetDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    // The hit: QPoint(first character, length) in the item's text; none when the data
    // is not set or empty.
    static constexpr int MarkRole = Qt::UserRole + 1;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
};
