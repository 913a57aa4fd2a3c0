#pragma once

class QAbstractItemView;
class QKeyEvent;
class QWidget;

// The selection of a list or tree stays visible while another pane has the focus, in
// a paler colour than while the view has it, so the pane with the focus stands out.
void KeepSelectionVisible(QWidget *view);

// Return or Enter without modifiers: activates the current item, as a double-click.
bool IsEnterKey(const QKeyEvent *event);
// Shift+F10, the keyboard's other way to the context menu besides the Menu key.
bool IsContextMenuKey(const QKeyEvent *event);
// Asks the view for its context menu as the keyboard does, at its current item.
void RequestKeyboardContextMenu(QAbstractItemView *view);
