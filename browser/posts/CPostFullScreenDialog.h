#pragma once

#include <QDialog>

#include <string>

class CPostView;

// "全屏": the post alone in a maximised window, rendered from its file by the same
// offline post view; nothing is written back. Escape and F11 close it.
class CPostFullScreenDialog : public QDialog
{
    Q_OBJECT
public:
    // path and archiveFolder are GBK, as the post tab holds them.
    CPostFullScreenDialog(QWidget *parent, const std::string &path,
                          const std::string &archiveFolder);

    CPostView *view() const { return view_; }

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    CPostView *view_;
};
