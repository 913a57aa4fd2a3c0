#include "CSnippetDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QTextLayout>

void CSnippetDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                             const QModelIndex &index) const
{
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QString full = item.text;
    const QPoint mark = index.data(MarkRole).toPoint();
    const int begin = std::clamp(mark.x(), 0, int(full.size()));
    const int length = std::clamp(mark.y(), 0, int(full.size()) - begin);

    // The panel, the selection and the focus as the style draws them, without the text.
    item.text.clear();
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    const QRect area =
            style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget).adjusted(2, 0, -2, 0);
    const QFontMetrics metrics(item.font);
    // Words before the hit give way until the hit fits; an ellipsis shows the cut.
    int skipped = 0;
    QString text = full;
    int shownBegin = begin;
    while (skipped < begin
           && metrics.horizontalAdvance(text.left(shownBegin + length)) > area.width()) {
        skipped = std::min(begin, skipped + std::max(1, (begin - skipped) / 4));
        text = QChar(0x2026) + full.mid(skipped);
        shownBegin = begin - skipped + 1;
    }

    QTextLayout layout(text, item.font);
    QTextOption textOption;
    textOption.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(textOption);
    if (length > 0) {
        QTextCharFormat hit;
        hit.setFontWeight(QFont::Bold);
        if (!(option.state & QStyle::State_Selected)) {
            hit.setBackground(QColor(0xff, 0xd5, 0x4a));
            hit.setForeground(Qt::black);
        }
        layout.setFormats({QTextLayout::FormatRange {shownBegin, length, hit}});
    }
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(area.width());
    layout.endLayout();

    painter->save();
    painter->setClipRect(area);
    const QPalette::ColorRole role =
            (option.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text;
    painter->setPen(item.palette.color(role));
    const qreal top = area.top() + (area.height() - line.height()) / 2;
    layout.draw(painter, QPointF(area.left(), top));
    painter->restore();
}
