#include "ViewLook.h"

#include <QAbstractItemView>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPalette>

namespace {
QColor blend(const QColor &over, const QColor &under, double share)
{
    return QColor::fromRgbF(float(over.redF() * share + under.redF() * (1 - share)),
                            float(over.greenF() * share + under.greenF() * (1 - share)),
                            float(over.blueF() * share + under.blueF() * (1 - share)));
}
} // namespace

void KeepSelectionVisible(QWidget *view)
{
    QPalette colours = view->palette();
    const QColor active = colours.color(QPalette::Active, QPalette::Highlight);
    const QColor base = colours.color(QPalette::Active, QPalette::Base);
    colours.setColor(QPalette::Inactive, QPalette::Highlight, blend(active, base, 0.4));
    colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     colours.color(QPalette::Active, QPalette::Text));
    view->setPalette(colours);
}

bool IsEnterKey(const QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    return enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

bool IsContextMenuKey(const QKeyEvent *event)
{
    return event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier;
}

void RequestKeyboardContextMenu(QAbstractItemView *view)
{
    QWidget *viewport = view->viewport();
    QPoint at(0, 0);
    const QRect item = view->visualRect(view->currentIndex());
    if (item.isValid() && viewport->rect().intersects(item))
        at = QPoint(item.left() + item.height(), item.bottom());
    QContextMenuEvent request(QContextMenuEvent::Keyboard, at, viewport->mapToGlobal(at));
    QCoreApplication::sendEvent(viewport, &request);
}
