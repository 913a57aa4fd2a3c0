#pragma once

#include "browser/posts/PostTabList.h"

#include <QTabBar>
#include <QWidget>

class QAction;
class QToolBar;

// Tabs of a fixed height whose width follows their label as the style draws it;
// labels are never elided, they are cut by the panel.
class CPostTabBar : public QTabBar
{
    Q_OBJECT
public:
    static constexpr int TabHeight = 22;
    using QTabBar::QTabBar;
    // Gives the tab this label and measures the tab.
    int MeasureTab(int index, const QString &label);

protected:
    QSize tabSizeHint(int index) const override;
    QSize minimumTabSizeHint(int index) const override;
};

// The strip along the top of the post panel: up to five post tabs and, at its right
// end, the toolbar with save, edit, full screen and close.
class CPostTabStrip : public QWidget
{
    Q_OBJECT
public:
    explicit CPostTabStrip(QWidget *parent = nullptr);

    CPostTabBar *tabBar() const { return tabBar_; }
    QToolBar *toolBar() const { return toolBar_; }
    PostTabList &tabs() { return tabs_; }
    const PostTabList &tabs() const { return tabs_; }
    int toolBarWidth() const { return toolBarWidth_; }
    int tabAreaWidth() const { return tabAreaWidth_; }

    QAction *saveAction;
    QAction *editAction;
    QAction *fullScreenAction;
    QAction *closeAction;

Q_SIGNALS:
    void laidOut();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void layoutStrip(int width);

    CPostTabBar *tabBar_;
    QToolBar *toolBar_;
    PostTabList tabs_;
    int toolBarWidth_ = -1;
    int tabAreaWidth_ = -1;
};
