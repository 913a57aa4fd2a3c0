#pragma once

#include <QObject>

#include <functional>

class CKestrelCommands;
class CLeftTreeView;
class PostListController;
class QWidget;

// The main window's two import commands, "导入帖子" and "导入到所选类型": each opens
// the import sheet modally; when the sheet closes after a run, the room that was
// listed is queried again so the new posts show.
class CImportController : public QObject
{
    Q_OBJECT
public:
    CImportController(QWidget *window, const CKestrelCommands &commands, CLeftTreeView *tree,
                      PostListController &listing);

    void Import();
    void ImportToSelectedRoom();

    // What happens when the presets file cannot be read: the program ends. Tests
    // replace it.
    std::function<void()> endProgram;

private:
    void openSheet(bool selectedRoom);

    QWidget *window_;
    CLeftTreeView *tree_;
    PostListController &listing_;
};
