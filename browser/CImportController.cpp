#include "CImportController.h"

#include "CKestrelCommands.h"
#include "CLeftTreeView.h"
#include "browser/ShellTexts.h"
#include "browser/import/CImportDataSheet.h"
#include "browser/posts/PostListController.h"
#include "common/UiSeam.h"

#include <QAction>
#include <QApplication>

CImportController::CImportController(QWidget *window, const CKestrelCommands &commands,
                                     CLeftTreeView *tree, PostListController &listing)
    : QObject(window)
    , window_(window)
    , tree_(tree)
    , listing_(listing)
{
    endProgram = [window] {
        window->close();
        QCoreApplication::exit(1);
    };
    connect(commands.import, &QAction::triggered, this, &CImportController::Import);
    connect(commands.importToRoom, &QAction::triggered, this,
            &CImportController::ImportToSelectedRoom);
}

void CImportController::Import()
{
    openSheet(false);
}

void CImportController::ImportToSelectedRoom()
{
    if (!tree_->SelectedRoom()) {
        UiSeam::ShowMessage(window_, QString::fromUtf8(KestrelText::NoRoomSelected),
                            QMessageBox::Warning);
        return;
    }
    openSheet(true);
}

void CImportController::openSheet(bool selectedRoom)
{
    RoomModel &rooms = tree_->rooms();
    CImportDataSheet sheet(window_);
    sheet.SetImportSource(rooms.GetConnectionString(), &rooms);
    if (selectedRoom) {
        const RoomRecord record = rooms.GetRoomRecordOfItem(tree_->SelectedRoom());
        sheet.SetImportTarget(record.roomid, rooms.GetRootTable(record.rootIndex & 0xFFFF),
                              SelectedRoomImport);
    }
    // The next double-click on any room queries it again.
    const int listedRoom = listing_.ForgetCurrentRoom();
    // The run writes beside the listed room's result: let it go first.
    sheet.onRunStarting = [this] { listing_.ReleasePostResult(); };
    if (!sheet.InitialiseSheet()) {
        endProgram();
        return;
    }
    UiSeam::ExecModal(sheet);
    if (sheet.runsStarted() > 0 && listedRoom >= 0)
        listing_.OpenRoom(listedRoom);
}
