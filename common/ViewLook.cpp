#include "ViewLook.h"

#include <QPalette>
#include <QWidget>

void KeepSelectionVisible(QWidget *view)
{
    QPalette colours = view->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        colours.setColor(QPalette::Inactive, role, colours.color(QPalette::Active, role));
    view->setPalette(colours);
}
