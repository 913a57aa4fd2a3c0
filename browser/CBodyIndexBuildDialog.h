#pragma once

#include "browser/bodysearch/BodyIndexBuild.h"

#include <QDialog>
#include <QElapsedTimer>

#include <memory>
#include <mutex>
#include <vector>

class QDialogButtonBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

// Builds or updates the body index of some post tables on a worker thread: the count,
// rate and time left while it runs, the posts whose files could not be read, and a stop
// button; closing the window stops the run too. What was committed before a stop stays.
class CBodyIndexBuildDialog : public QDialog
{
    Q_OBJECT
public:
    CBodyIndexBuildDialog(QWidget *parent, RoomModel &rooms, std::vector<BodyIndexTarget> targets);
    ~CBodyIndexBuildDialog() override;

    bool running() const { return running_; }
    // Whether a run was started and went to its end.
    bool completed() const { return ended_ && outcome_ == BodyIndexOutcome::Completed; }
    // Whether a run was started and has ended, however.
    bool ended() const { return ended_; }
    // After the run: how it ended (Completed when it never started).
    BodyIndexOutcome outcome() const { return outcome_; }
    QPushButton *stopButton() const { return stop_; }
    QProgressBar *progressBar() const { return bar_; }
    QString progressText() const;
    QString summaryText() const;

    // Stops the run after its current batch and waits for it.
    void Stop();

protected:
    void showEvent(QShowEvent *event) override;
    void reject() override;

private:
    void start();
    void showProgress();
    void runEnded(BodyIndexOutcome outcome);

    std::vector<BodyIndexTarget> targets_;
    std::unique_ptr<BodyIndexBuild> build_;
    QLabel *progress_;
    QLabel *summary_;
    QProgressBar *bar_;
    QPlainTextEdit *lines_;
    QPushButton *stop_;
    QDialogButtonBox *buttons_;
    QTimer *timer_;
    QElapsedTimer clock_;
    bool started_ = false;
    bool running_ = false;
    bool closeWhenEnded_ = false;
    bool ended_ = false;
    BodyIndexOutcome outcome_ = BodyIndexOutcome::Completed;

    // Lines of the run's thread, taken by the timer.
    std::mutex linesMutex_;
    std::vector<std::string> pendingLines_;
};
