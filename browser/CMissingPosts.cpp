#include "CMissingPosts.h"

#include "CKestrelCommands.h"
#include "CLeftTreeView.h"
#include "browser/ShellTexts.h"
#include "browser/rooms/RoomModel.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/UiSeam.h"
#include "urllist/MissingUrlList.h"
#include "urllist/ServerSetting.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

class NoSink : public MissingSink
{
public:
    bool Missing(const MissingRun &) override { return true; }
};

} // namespace

CMissingPostsDialog::CMissingPostsDialog(QWidget *parent, const QString &roomName,
                                         const QString &table, const GapScanResult &result)
    : QDialog(parent)
    , writeList_(new QPushButton(text(KestrelText::MissingWriteList), this))
{
    using namespace KestrelText;
    setWindowTitle(text(MissingTitle));
    writeList_->setObjectName(QStringLiteral("writeList"));
    auto *layout = new QVBoxLayout(this);
    for (const QString &line :
         {text(MissingRoom).arg(roomName, table),
          text(MissingRange).arg(result.first).arg(result.last), text(MissingRows).arg(result.rows),
          text(MissingGaps).arg(result.missingIds).arg(result.gapRuns),
          text(MissingFiles).arg(result.lostFiles)}) {
        auto *label = new QLabel(line, this);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(label);
        lines_ << label;
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(writeList_, QDialogButtonBox::ActionRole);
    writeList_->setEnabled(!result.NothingMissing());
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(writeList_, &QPushButton::clicked, this, &CMissingPostsDialog::writeListRequested);
}

QStringList CMissingPostsDialog::lines() const
{
    QStringList texts;
    for (const QLabel *label : lines_)
        texts << label->text();
    return texts;
}

CMissingPosts::CMissingPosts(QWidget *window, const CKestrelCommands &commands, CLeftTreeView *tree)
    : QObject(window)
    , window_(window)
    , tree_(tree)
{
    connect(commands.checkMissing, &QAction::triggered, this, &CMissingPosts::CheckSelectedRoom);
}

void CMissingPosts::CheckSelectedRoom()
{
    if (!tree_->SelectedRoom()) {
        UiSeam::ShowMessage(window_, text(KestrelText::NoRoomSelected), QMessageBox::Warning);
        return;
    }
    RoomModel &rooms = tree_->rooms();
    const RoomRecord record = rooms.GetRoomRecordOfItem(tree_->SelectedRoom());
    const std::int32_t rootIndex = record.rootIndex & 0xFFFF;
    std::vector<std::string> names, tables;
    rooms.ListRootRooms(names, tables, nullptr);
    const QString roomName = std::size_t(rootIndex) < names.size()
            ? Gbk::toQString(names[std::size_t(rootIndex)])
            : QString();

    GapScanRequest request;
    std::string problem;
    if (!RoomGapRequest(rooms, rootIndex, rooms.GetConnectionString(), request, problem)) {
        UiSeam::ShowDetailedMessage(window_, text(KestrelText::MissingFailed),
                                    Gbk::toQString(problem), QMessageBox::Warning);
        return;
    }
    NoSink counter;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const GapScanResult found = ScanGaps(request, counter);
    QApplication::restoreOverrideCursor();
    if (found.outcome != GapScanOutcome::Done) {
        UiSeam::ShowDetailedMessage(window_, text(KestrelText::MissingFailed),
                                    Gbk::toQString(found.problem), QMessageBox::Warning);
        return;
    }
    if (found.emptyRange) {
        UiSeam::ShowMessage(window_, text(KestrelText::MissingEmpty).arg(roomName),
                            QMessageBox::Information);
        return;
    }
    CMissingPostsDialog dialog(window_, roomName, Gbk::toQString(request.tables.front()), found);
    connect(&dialog, &CMissingPostsDialog::writeListRequested, this,
            [this, &request, &found] { writeList(request, found); });
    UiSeam::ExecModal(dialog);
}

void CMissingPosts::writeList(const GapScanRequest &request, const GapScanResult &found)
{
    UiSeam::FileDialogCall call;
    call.kind = UiSeam::FileDialogCall::SaveFile;
    call.caption = text(KestrelText::MissingSaveCaption);
    const QFileInfo proposed(Gbk::toQString(DefaultUrlListPath()));
    call.directory = proposed.path();
    call.fileName = proposed.fileName();
    call.filter = text(KestrelText::MissingListFilter);
    call.defaultSuffix = QStringLiteral("lst");
    const QString path = UiSeam::AskFilePath(window_, call);
    if (path.isEmpty())
        return;

    // The same IDs as the counts: the range that was checked.
    GapScanRequest fixed = request;
    fixed.first = found.first;
    fixed.last = found.last;
    const ServerSetting server = ReadServerSetting();
    GapScanResult scanned;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const UrlListResult result = WriteGapUrlList(BuildUrlTemplateTable(server.baseUrl), fixed,
                                                 FileSystem::fromQtPath(path), scanned);
    QApplication::restoreOverrideCursor();
    UiSeam::ShowMessage(window_, Gbk::toQString(result.text),
                        result.outcome == UrlListOutcome::Written ? QMessageBox::Information
                                                                  : QMessageBox::Warning);
}
