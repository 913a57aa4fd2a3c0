#pragma once

#include <QObject>

#include <string>

class CPostTabStrip;
class CPostView;
class QVariant;
class QWidget;

// Edit, save and full screen of the post panel. Editing uses the document's design
// mode, switched by the program's own scripts in the application world (the page's
// scripts stay off). The view answers asynchronously: an answer is used only for the
// page that asked, and while one is pending edit and save are ignored.
class CPostEditor : public QObject
{
    Q_OBJECT
public:
    CPostEditor(QWidget *panel, CPostTabStrip *strip, CPostView *view);

    void Edit();
    void Save();
    void FullScreen();

    // The page of the view was switched to editing and not saved since.
    bool editing() const { return editing_; }
    bool pending() const { return pending_; }
    // Before the view leaves an edited page: asks whether the edits may go.
    bool ConfirmLeave();
    // The view is about to show another page: answers for the old one are dropped.
    void PageLeft();

Q_SIGNALS:
    void editingChanged(bool editing);

private:
    bool hasPost() const;
    const std::string &selectedPath() const;
    const std::string &selectedArchive() const;
    void ContinueEdit(const QVariant &answer);
    void ContinueSave(const QVariant &answer);
    void SetEditing(bool on);
    void SetEditingFlag(bool on);
    void OpenAsText(const std::string &path);
    bool WritePage(const std::string &target, const QString &page, const QString &charset);
    // Runs a script in the application world; the answer reaches `then` only if the
    // view still shows the page that asked.
    template<typename Then>
    void Ask(const QString &script, Then then);

    QWidget *panel_;
    CPostTabStrip *strip_;
    CPostView *view_;
    quint64 generation_ = 0;
    bool pending_ = false;
    bool editing_ = false;
};
