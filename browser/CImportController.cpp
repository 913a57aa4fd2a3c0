#include "CImportController.h"

#include "CKestrelCommands.h"
#include "CLeftTreeView.h"
#include "CMainFrame.h"
#include "browser/ShellTexts.h"
#include "browser/import/CImportDataSheet.h"
#include "common/UiSeam.h"

#include <QAction>
#include <QApplication>

CImportController::CImportController(CMainFrame *frame)
    : QObject(frame)
    , frame_(frame)
{
    endProgram = [frame] {
        frame->close();
        QCoreApplication::exit(1);
    };
    connect(frame->commands()->import, &QAction::triggered, this, &CImportController::Import);
    connect(frame->commands()->importToRoom, &QAction::triggered, this,
            &CImportController::ImportToSelectedRoom);
}

void CImportController::Import()
{
    openSheet(false);
}

void CImportController::ImportToSelectedRoom()
{
    if (!frame_->roomTree()->SelectedRoom()) {
        UiSeam::ShowMessage(frame_, QString::fromUtf8(KestrelText::NoRoomSelected),
                            QMessageBox::Warning);
        return;
    }
    openSheet(true);
}

void CImportController::openSheet(bool selectedRoom)
{
    RoomModel &rooms = frame_->roomTree()->rooms();
    CImportDataSheet sheet(frame_);
    sheet.SetImportSource(rooms.GetConnectionString(), &rooms);
    if (selectedRoom) {
        const RoomRecord record = rooms.GetRoomRecordOfItem(frame_->roomTree()->SelectedRoom());
        sheet.SetImportTarget(record.roomid, rooms.GetRootTable(record.rootIndex & 0xFFFF),
                              SelectedRoomImport);
    }
    // The next double-click on any room queries it again.
    const int listedRoom = frame_->ForgetCurrentRoom();
    // The run writes beside the listed room's result: let it go first.
    sheet.onRunStarting = [this] { frame_->ReleasePostResult(); };
    if (!sheet.InitialiseSheet()) {
        endProgram();
        return;
    }
    UiSeam::ExecModal(sheet);
    if (sheet.runsStarted() > 0 && listedRoom >= 0)
        frame_->OpenRoom(listedRoom);
}
