#pragma once

#include <QWidget>

#include <string>

class CPostTabStrip;
class CPostView;

// The lower right pane: the post tab strip above the post view. Opens posts into
// tabs (at most five), stands the not-found page in for missing files, and shows
// the start page when no post is open.
class CPostPanelFrame : public QWidget
{
    Q_OBJECT
public:
    static constexpr int StripHeight = 22;

    explicit CPostPanelFrame(QWidget *parent = nullptr);

    // Shows the post at path (GBK) in a tab titled title. Returns false, with the
    // reason, when the not-found page cannot be made; no tab changes then.
    bool OpenPost(const std::string &title, const std::string &path, std::string &why);
    void ClosePost();
    void FitTabTitles(int selected);
    void ShowStartPage();

    CPostTabStrip *strip() const { return strip_; }
    CPostView *view() const { return view_; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void SelectTab(int index);

    CPostTabStrip *strip_;
    CPostView *view_;
};
