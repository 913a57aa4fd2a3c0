#pragma once

#include "browser/import/ImportJob.h"
#include "browser/import/ImportPresets.h"
#include "browser/import/ImportSettings.h"

#include <QDialog>
#include <QElapsedTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CAdoManager;
class CImportDataBase;
class CImportDataExtern;
class CImportDataList;
class ImportRelay;
class QPushButton;
class QSystemTrayIcon;
class QTabWidget;
class QTimer;
class RoomModel;

// The import sheet: three pages, and the buttons that start and abort the run on a
// worker thread, send the sheet and the main window to the tray, and close it.
// Made per command and shown modally; its settings are not kept.
class CImportDataSheet : public QDialog
{
    Q_OBJECT
public:
    explicit CImportDataSheet(QWidget *mainWindow);
    ~CImportDataSheet() override;

    // Texts are GBK; the connection string is taken as expanded (the room model's). The
    // room model serves the run's room look-ups.
    void SetImportSource(const std::string &connectionString, RoomModel *rooms);
    // Selected-room mode (targetMode -2): the room's roomid and its post table.
    void SetImportTarget(const std::string &roomid, const std::string &table, int targetMode);

    // Loads the presets and readies page 2; runs once, before the sheet shows. False
    // when the presets file could not be loaded: its message was shown and the
    // program is to end.
    bool InitialiseSheet();
    // Modal like QDialog::exec, but hiding the sheet in the tray does not end it.
    int exec() override;

    void ShowPage(QWidget *page);
    CImportDataBase *basePage() const { return base_; }
    CImportDataList *listPage() const { return list_; }
    CImportDataExtern *externPage() const { return extern_; }
    QTabWidget *tabs() const { return tabs_; }
    QPushButton *okButton() const { return ok_; }
    QPushButton *trayButton() const { return tray_; }
    QPushButton *applyButton() const { return apply_; }
    QSystemTrayIcon *trayIcon() const { return trayIcon_; }

    bool startShown() const { return startShown_; }
    bool HasWorker() const { return job_->Started(); }
    int runsStarted() const { return runsStarted_; }
    const ImportSettings &settings() const { return settings_; }
    const PresetList &presets() const { return presets_; }

    void StartImport();
    void AbortImport();
    void SendToTray();
    void FindUniqueTopicid();
    // Entry k of the preset list (the default preset hidden in normal mode).
    void ApplyPresetEntry(int entry);

    // Called on the user-interface thread just before a worker starts.
    std::function<void()> onRunStarting;

    // Test hooks.
    static void SetTrayAvailableForTesting(std::optional<bool> available);
    void SetAbortWaitForTesting(std::chrono::milliseconds wait) { abortWait_ = wait; }
    ImportRelay &relay() { return *relay_; }
    ImportRun &run() { return job_->run(); }

public Q_SLOTS:
    void accept() override;
    void reject() override;

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void onApply();
    void readAllFields();
    void showAllValues();
    void enableAsPresetSays(std::uint32_t appliedKeys);
    void setStartShown(bool shown);
    void restoreFromTray();
    bool trayAvailable() const;
    void drainReports(bool final);
    void onCooldown();
    void onWorkerEnded(bool keptRunning, std::int32_t autoGrowNext);
    void showProgress();
    void stopWorker();

    CImportDataBase *base_;
    CImportDataList *list_;
    CImportDataExtern *extern_;
    QTabWidget *tabs_;
    QPushButton *ok_;
    QPushButton *tray_;
    QPushButton *apply_;
    QSystemTrayIcon *trayIcon_ = nullptr;
    QWidget *mainWindow_;

    RoomModel *rooms_ = nullptr;
    bool initialised_ = false;
    int runsStarted_ = 0;

    // Run state. The run's keepRunning flag and counters are atomics of ImportRun.
    std::unique_ptr<ImportRelay> relay_; // the run's sink
    std::unique_ptr<CAdoManager> ado_; // the database object of "搜索唯一值"
    std::unique_ptr<ImportJob> job_;
    bool startShown_ = true;
    bool holdReports_ = false;
    bool draining_ = false;
    bool aborting_ = false;
    QTimer *cooldown_;
    QTimer *progressTimer_;
    QElapsedTimer runClock_;
    QElapsedTimer statusClock_;
    std::optional<std::string> pendingStatus_;
    std::chrono::milliseconds abortWait_ {60000};
    std::function<void()> abortWaitEnded_;

    // The pages' values as the engine takes them; a run works on a copy.
    ImportSettings settings_;
    PresetList presets_;
    std::vector<std::int32_t> listedPresets_;
};
