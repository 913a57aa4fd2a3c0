#pragma once

#include <QWidget>

#include <string>

class CPostEditor;
class CPostTabStrip;
class CPostView;

// The lower right pane: the post tab strip above the post view. Opens posts into
// tabs (at most five), stands the not-found page in for missing files, shows the
// start page when no post is open, and edits, saves and shows posts full screen.
class CPostPanelFrame : public QWidget
{
    Q_OBJECT
public:
    static constexpr int StripHeight = 22;

    explicit CPostPanelFrame(QWidget *parent = nullptr);

    // Shows the post at path (GBK) in a tab titled title; archiveFolder is the folder
    // the post was found under (its files may be shown with it). Returns false, with
    // the reason, when the not-found page cannot be made; no tab changes then. When
    // the user keeps unsaved edits instead, nothing changes and the result is true.
    // The tab's tooltip shows the whole title, the post ID and the path.
    bool OpenPost(const std::string &title, const std::string &path, std::string &why);
    bool OpenPost(const std::string &title, const std::string &path,
                  const std::string &archiveFolder, std::string &why,
                  const std::string &postId = std::string());
    void ClosePost();
    // Fits the labels and, with render, shows the selected tab's page again.
    void FitTabTitles(int selected, bool render = true);
    void ShowStartPage();

    CPostTabStrip *strip() const { return strip_; }
    CPostView *view() const { return view_; }
    CPostEditor *editor() const { return editor_; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    // Marks the pane that has the focus: a line in the highlight colour under the tabs.
    void paintEvent(QPaintEvent *event) override;

private:
    void SelectTab(int index);
    void TabChosen(int index);
    void ShowPage(const std::string &path, const std::string &archiveFolder);
    void UpdateCommands();
    void ShowTabTips();

    CPostTabStrip *strip_;
    CPostView *view_;
    CPostEditor *editor_;
    int shownTab_ = -1;
};
