#include "CImportDataSheet.h"

#include "CImportDataBase.h"
#include "CImportDataExtern.h"
#include "CImportDataList.h"
#include "ImportEvents.h"
#include "ImportRelay.h"
#include "ImportSheetTexts.h"
#include "browser/import/ImportRun.h"

#include "browser/import/ImportTexts.h"

#include "browser/db/CAdoManager.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/UiSeam.h"

#include <QComboBox>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

using namespace ImportSheetText;

namespace {
std::optional<bool> &trayOverride()
{
    static std::optional<bool> available;
    return available;
}

constexpr int TrayIconId = 128;

// The mouse messages a tray icon reported to its window.
int mouseMessageOf(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        return TrayLeftButtonUp;
    case QSystemTrayIcon::DoubleClick:
        return 515;
    case QSystemTrayIcon::MiddleClick:
        return 520;
    case QSystemTrayIcon::Context:
    case QSystemTrayIcon::Unknown:
        break;
    }
    return 517;
}
} // namespace

CImportDataSheet::CImportDataSheet(QWidget *mainWindow)
    : QDialog(mainWindow)
    , mainWindow_(mainWindow ? mainWindow->window() : nullptr)
    , relay_(std::make_unique<ImportRelay>(this))
    , ado_(std::make_unique<CAdoManager>())
    , job_(std::make_unique<ImportJob>(nullptr, *relay_))
    , settings_(DefaultImportSettings())
{
    setWindowTitle(QString::fromUtf8(SheetCaption));
    // Page 3 exists before page 2 initialises (a preset fills it), and page 1 before
    // any run reports into its message list.
    extern_ = new CImportDataExtern;
    base_ = new CImportDataBase;
    list_ = new CImportDataList;
    tabs_ = new QTabWidget(this);
    tabs_->addTab(base_, QString::fromUtf8(BasePageTitle));
    tabs_->addTab(list_, QString::fromUtf8(ListPageTitle));
    tabs_->addTab(extern_, QString::fromUtf8(ExternPageTitle));
    base_->SetSheet(this);
    list_->SetSheet(this);
    extern_->SetSheet(this);
    tabs_->setCurrentWidget(list_);
    showAllValues();
    list_->ApplyEnabling(settings_);

    auto *buttons = new QDialogButtonBox(
            QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    tray_ = buttons->button(QDialogButtonBox::Cancel);
    apply_ = buttons->button(QDialogButtonBox::Apply);
    tray_->setText(QString::fromUtf8(TrayButton));
    apply_->setText(QString::fromUtf8(StartButton));
    apply_->setEnabled(true);
    connect(ok_, &QPushButton::clicked, this, &CImportDataSheet::accept);
    connect(tray_, &QPushButton::clicked, this, &CImportDataSheet::reject);
    connect(apply_, &QPushButton::clicked, this, &CImportDataSheet::onApply);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tabs_, 1);
    layout->addWidget(buttons);

    cooldown_ = new QTimer(this);
    cooldown_->setSingleShot(true);
    cooldown_->setInterval(100);
    connect(cooldown_, &QTimer::timeout, this, &CImportDataSheet::onCooldown);
    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(500);
    connect(progressTimer_, &QTimer::timeout, this, &CImportDataSheet::showProgress);

    connect(list_, &CImportDataList::presetChosen, this, &CImportDataSheet::ApplyPresetEntry);
    connect(list_, &CImportDataList::findUniqueRequested, this,
            &CImportDataSheet::FindUniqueTopicid);
    resize(760, 700);
}

CImportDataSheet::~CImportDataSheet()
{
    stopWorker();
    if (trayIcon_)
        trayIcon_->hide();
}

void CImportDataSheet::SetImportSource(const std::string &connectionString, RoomModel *rooms)
{
    // The tree configuration's string, expanded when the configuration was read: a run
    // expands it only when the field is given another text.
    settings_.connectionString = connectionString;
    settings_.connectionExpanded = true;
    base_->SetConnectionString(connectionString);
    rooms_ = rooms;
    job_ = std::make_unique<ImportJob>(rooms, *relay_);
}

void CImportDataSheet::SetImportTarget(const std::string &roomid, const std::string &table,
                                       int targetMode)
{
    settings_.targetRoomid = roomid;
    settings_.targetTable = table;
    settings_.targetMode = targetMode;
}

bool CImportDataSheet::InitialiseSheet()
{
    if (initialised_)
        return true;
    initialised_ = true;
    readAllFields();
    const std::string path = PresetsFilePath();
    std::string reason;
    if (!::LoadPresetList(path, presets_, &reason)) {
        if (!reason.empty())
            qWarning("%s", qPrintable(Gbk::toQString(reason)));
        UiSeam::ShowMessage(
                this, FileSystem::toQtPath(path) + QString::fromUtf8(ImportText::PresetsOpenError),
                QMessageBox::Critical);
        return false;
    }
    const bool selectedRoom = settings_.selectedRoomMode();
    listedPresets_ = ListedPresets(presets_, selectedRoom);
    QComboBox *list = list_->presetList();
    list->clear();
    for (std::int32_t index : listedPresets_)
        list->addItem(Gbk::toQString(presets_.names[std::size_t(index)]));
    if (!selectedRoom) {
        // Nothing is applied until the user picks an entry.
        list->setCurrentIndex(-1);
        return true;
    }
    list->setEnabled(false);
    const std::uint32_t applied = ApplyPreset(presets_, presets_.resultIndex(), settings_);
    list->setCurrentIndex(0);
    ::SetImportTarget(settings_, settings_.targetRoomid, settings_.targetTable);
    showAllValues();
    enableAsPresetSays(applied);
    list_->LockToRoom(settings_.targetRoomid, settings_.targetTable);
    return true;
}

void CImportDataSheet::ApplyPresetEntry(int entry)
{
    if (entry < 0 || settings_.selectedRoomMode())
        return;
    // Whatever the user typed stays unless the preset names the field.
    readAllFields();
    const std::uint32_t applied =
            ApplyPreset(presets_, PresetOfListEntry(presets_, entry), settings_);
    showAllValues();
    enableAsPresetSays(applied);
}

void CImportDataSheet::enableAsPresetSays(std::uint32_t appliedKeys)
{
    // Only the modes a preset names change the enabling; page 3 follows its boxes.
    if (appliedKeys & PresetKey::RadioRoomID)
        list_->EnableRoomidMarkers(settings_.roomidMode);
    if (appliedKeys & PresetKey::RadioTopicid)
        list_->EnableAutogrow(settings_.topicidMode);
    if (appliedKeys & PresetKey::RadioTitle)
        list_->EnableTitleMarkers(settings_.titleMode);
}

void CImportDataSheet::readAllFields()
{
    base_->ReadFields(settings_);
    list_->ReadFields(settings_, false);
    extern_->ReadFields(settings_);
}

void CImportDataSheet::showAllValues()
{
    base_->ShowValues(settings_);
    list_->ShowValues(settings_);
    extern_->ShowValues(settings_);
}

int CImportDataSheet::exec()
{
    if (!initialised_ && !InitialiseSheet())
        return QDialog::Rejected;
    // QDialog::exec would end when the sheet hides itself in the tray.
    setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
    QPointer<CImportDataSheet> guard(this);
    show();
    loop.exec(QEventLoop::DialogExec);
    return guard ? result() : int(QDialog::Rejected);
}

void CImportDataSheet::ShowPage(QWidget *page)
{
    tabs_->setCurrentWidget(page);
}

void CImportDataSheet::accept()
{
    if (HasWorker()) {
        UiSeam::ShowMessage(this, QString::fromUtf8(RunningOnOk), QMessageBox::Warning);
        return;
    }
    QDialog::accept();
}

void CImportDataSheet::reject()
{
    // The Cancel button and Escape send the sheet to the tray; the run goes on.
    SendToTray();
}

void CImportDataSheet::closeEvent(QCloseEvent *event)
{
    if (HasWorker()) {
        UiSeam::ShowMessage(this, QString::fromUtf8(RunningOnClose), QMessageBox::Warning);
        event->ignore();
        return;
    }
    event->accept();
    done(QDialog::Rejected);
}

void CImportDataSheet::SetTrayAvailableForTesting(std::optional<bool> available)
{
    trayOverride() = available;
}

bool CImportDataSheet::trayAvailable() const
{
    return trayOverride().value_or(QSystemTrayIcon::isSystemTrayAvailable());
}

void CImportDataSheet::SendToTray()
{
    if (!trayAvailable()) {
        // Without a notification area a hidden window could not be found again.
        if (mainWindow_)
            mainWindow_->showMinimized();
        showMinimized();
        return;
    }
    if (!trayIcon_) {
        QIcon icon = mainWindow_ ? mainWindow_->windowIcon() : windowIcon();
        if (icon.isNull())
            icon = style()->standardIcon(QStyle::SP_ComputerIcon);
        trayIcon_ = new QSystemTrayIcon(icon, this);
        trayIcon_->setToolTip(QString::fromUtf8(TrayTip));
        connect(trayIcon_, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    QCoreApplication::postEvent(
                            this, new CImportTrayEvent(TrayIconId, mouseMessageOf(reason)));
                });
    }
    trayIcon_->show();
    if (mainWindow_)
        mainWindow_->hide();
    hide();
}

void CImportDataSheet::restoreFromTray()
{
    if (trayIcon_)
        trayIcon_->hide();
    if (mainWindow_)
        mainWindow_->showNormal();
    showNormal();
    raise();
    activateWindow();
}

bool CImportDataSheet::event(QEvent *event)
{
    if (event->type() == WM_IMPORT_MESSAGE) {
        drainReports(false);
    } else if (event->type() == WM_IMPORT_TRAY) {
        if (static_cast<CImportTrayEvent *>(event)->mouseMessage() == TrayLeftButtonUp)
            restoreFromTray();
    } else if (event->type() == WM_IMPORT_ENDED) {
        const auto *ended = static_cast<CImportEndedEvent *>(event);
        onWorkerEnded(ended->keptRunning(), ended->autoGrowNext());
        return true;
    }
    return QDialog::event(event);
}
