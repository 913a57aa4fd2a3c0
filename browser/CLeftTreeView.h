#pragma once

#include "browser/rooms/RoomModel.h"

#include <QHash>
#include <QTreeWidget>

#include <optional>
#include <string>

class QMenu;

// The room tree: shows the rooms of the tree configuration and owns the room model.
// Double-click and Enter post WM_OPEN_ROOM to the event target; clicks and the other
// keys only move the selection; the right button, the Menu key and Shift+F10 show the
// room menu without moving it.
class CLeftTreeView : public QTreeWidget
{
    Q_OBJECT
public:
    CLeftTreeView(QObject *eventTarget, QWidget *parent = nullptr);

    // Loads the configuration named by the argument (or the default one) and fills
    // the tree. On failure returns false with the full path and the reason.
    bool LoadTreeConfig(const std::optional<std::string> &argument, std::string &path,
                        std::string &reason);

    RoomModel &rooms() { return model_; }
    const RoomModel &rooms() const { return model_; }

    // Selects the start room, opens its ancestors and handles it as a double-click.
    void SelectStartRoom();
    // The model node of the selected item, or nullptr.
    TreeItem SelectedRoom() const;
    QTreeWidgetItem *itemOf(TreeItem room) const { return items_.value(room); }
    TreeItem roomOf(const QTreeWidgetItem *item) const;

    void setRoomMenu(QMenu *menu) { roomMenu_ = menu; }

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void drawBranches(QPainter *painter, const QRect &rect,
                      const QModelIndex &index) const override;

private:
    void fillTree();
    void openSelectedRoom();

    QObject *eventTarget_;
    QMenu *roomMenu_ = nullptr;
    RoomModel model_;
    QHash<TreeItem, QTreeWidgetItem *> items_;
};
