#pragma once

#include <QObject>

#include <functional>

class CMainFrame;

// The main window's two import commands, "导入帖子" and "导入到所选类型": each opens
// the import sheet modally; when the sheet closes after a run, the room that was
// listed is queried again so the new posts show.
class CImportController : public QObject
{
    Q_OBJECT
public:
    explicit CImportController(CMainFrame *frame);

    void Import();
    void ImportToSelectedRoom();

    // What happens when the presets file cannot be read: the program ends. Tests
    // replace it.
    std::function<void()> endProgram;

private:
    void openSheet(bool selectedRoom);

    CMainFrame *frame_;
};
