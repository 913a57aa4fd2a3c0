#include "CBodyIndexBuildDialog.h"

#include "browser/ShellTexts.h"
#include "browser/rooms/RoomModel.h"
#include "common/Codec.h"
#include "common/UiSeam.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

QString clockText(long long seconds)
{
    return QStringLiteral("%1:%2:%3")
            .arg(seconds / 3600)
            .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// The lines a long run can show; the run goes on after that without them.
constexpr int MaxLines = 1000;

} // namespace

CBodyIndexBuildDialog::CBodyIndexBuildDialog(QWidget *parent, RoomModel &rooms,
                                             std::vector<BodyIndexTarget> targets)
    : QDialog(parent)
    , targets_(std::move(targets))
    , build_(std::make_unique<BodyIndexBuild>(rooms, rooms.GetConnectionString()))
    , progress_(new QLabel(this))
    , summary_(new QLabel(this))
    , bar_(new QProgressBar(this))
    , lines_(new QPlainTextEdit(this))
    , stop_(new QPushButton(text(KestrelText::BuildIndexStop), this))
    , buttons_(new QDialogButtonBox(QDialogButtonBox::Close, this))
    , timer_(new QTimer(this))
{
    using namespace KestrelText;
    setWindowTitle(text(BuildIndexTitle));
    setObjectName(QStringLiteral("bodyIndexBuild"));
    QStringList tables;
    for (const BodyIndexTarget &target : targets_)
        tables << Gbk::toQString(target.table);
    auto *layout = new QVBoxLayout(this);
    auto *heading = new QLabel(text(BuildIndexTables).arg(tables.join(QStringLiteral(", "))), this);
    heading->setWordWrap(true);
    layout->addWidget(heading);
    layout->addWidget(bar_);
    layout->addWidget(progress_);
    lines_->setReadOnly(true);
    lines_->setMaximumBlockCount(MaxLines);
    lines_->setPlaceholderText(text(BuildIndexNoProblems));
    layout->addWidget(lines_, 1);
    summary_->setWordWrap(true);
    layout->addWidget(summary_);
    stop_->setObjectName(QStringLiteral("stopBuild"));
    buttons_->addButton(stop_, QDialogButtonBox::ActionRole);
    buttons_->button(QDialogButtonBox::Close)->setEnabled(false);
    layout->addWidget(buttons_);
    bar_->setRange(0, 0); // busy until the posts are counted
    resize(560, 340);

    build_->SetLineHandler([this](const std::string &line) {
        const std::lock_guard<std::mutex> lock(linesMutex_);
        if (pendingLines_.size() < std::size_t(MaxLines))
            pendingLines_.push_back(line);
    });
    timer_->setInterval(200);
    connect(timer_, &QTimer::timeout, this, &CBodyIndexBuildDialog::showProgress);
    connect(stop_, &QPushButton::clicked, this, &CBodyIndexBuildDialog::Stop);
    connect(buttons_, &QDialogButtonBox::rejected, this, &CBodyIndexBuildDialog::reject);
}

CBodyIndexBuildDialog::~CBodyIndexBuildDialog()
{
    // The run's last act posts to this window: it ends before the window goes.
    build_->Abort();
    build_->Wait();
}

void CBodyIndexBuildDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!started_) {
        started_ = true;
        // Once the window shows, so a modal run sees its progress from the start.
        QTimer::singleShot(0, this, &CBodyIndexBuildDialog::start);
    }
}

void CBodyIndexBuildDialog::start()
{
    clock_.start();
    running_ = true;
    const QPointer<CBodyIndexBuildDialog> self(this);
    std::string why;
    const bool started = build_->Start(
            targets_,
            [self](BodyIndexOutcome outcome) {
                // On the run's thread: the window hears of it in its own.
                QMetaObject::invokeMethod(
                        self.data(),
                        [self, outcome] {
                            if (self)
                                self->runEnded(outcome);
                        },
                        Qt::QueuedConnection);
            },
            why);
    if (!started) {
        running_ = false;
        ended_ = true;
        outcome_ = BodyIndexOutcome::Failed;
        summary_->setText(Gbk::toQString(why));
        stop_->setEnabled(false);
        buttons_->button(QDialogButtonBox::Close)->setEnabled(true);
        return;
    }
    timer_->start();
    showProgress();
}

void CBodyIndexBuildDialog::showProgress()
{
    const BodyIndexProgress &progress = build_->Progress();
    const long long total = progress.total.load(std::memory_order_relaxed);
    const long long checked = progress.checked.load(std::memory_order_relaxed);
    const double elapsed = double(clock_.elapsed()) / 1000.0;
    const BodyIndexPace pace = PaceOf(progress, elapsed);
    if (total > 0) {
        bar_->setRange(0, 1000);
        bar_->setValue(int(std::min<long long>(1000, checked * 1000 / total)));
    } else if (total == 0) {
        bar_->setRange(0, 1);
        bar_->setValue(1);
    }
    QString line = text(KestrelText::BuildIndexProgress)
                           .arg(checked)
                           .arg(total < 0 ? QStringLiteral("?") : QString::number(total))
                           .arg(progress.indexed.load(std::memory_order_relaxed))
                           .arg(qRound64(pace.perSecond))
                           .arg(clockText((long long)elapsed));
    if (pace.secondsLeft >= 0)
        line += text(KestrelText::BuildIndexLeft).arg(clockText(pace.secondsLeft));
    if (progress.optimizing.load(std::memory_order_relaxed))
        line += text(KestrelText::BuildIndexOptimizing);
    progress_->setText(line);

    std::vector<std::string> lines;
    {
        const std::lock_guard<std::mutex> lock(linesMutex_);
        lines.swap(pendingLines_);
    }
    for (const std::string &one : lines)
        lines_->appendPlainText(Gbk::toQString(one));
}

void CBodyIndexBuildDialog::runEnded(BodyIndexOutcome outcome)
{
    build_->Wait();
    ended_ = true;
    timer_->stop();
    running_ = false;
    outcome_ = outcome;
    showProgress();
    const BodyIndexProgress &progress = build_->Progress();
    QString summary;
    switch (outcome) {
    case BodyIndexOutcome::Completed:
        bar_->setRange(0, 1);
        bar_->setValue(1);
        summary = text(KestrelText::BuildIndexDone)
                          .arg(progress.indexed.load())
                          .arg(progress.unreadable.load())
                          .arg(progress.removed.load());
        break;
    case BodyIndexOutcome::Aborted:
        summary = text(KestrelText::BuildIndexStopped).arg(progress.indexed.load());
        break;
    case BodyIndexOutcome::Failed:
        summary = text(KestrelText::BuildIndexFailed).arg(Gbk::toQString(build_->Problem()));
        break;
    }
    summary_->setText(summary);
    stop_->setEnabled(false);
    QPushButton *close = buttons_->button(QDialogButtonBox::Close);
    close->setEnabled(true);
    close->setDefault(true);
    if (closeWhenEnded_)
        QDialog::reject();
}

void CBodyIndexBuildDialog::Stop()
{
    if (!running_)
        return;
    stop_->setEnabled(false);
    summary_->setText(text(KestrelText::BuildIndexStopping));
    build_->Abort();
}

void CBodyIndexBuildDialog::reject()
{
    // Escape or the window's close box while running stops the run; the window closes
    // once it has ended.
    if (running_) {
        closeWhenEnded_ = true;
        Stop();
        return;
    }
    QDialog::reject();
}

QString CBodyIndexBuildDialog::progressText() const
{
    return progress_->text();
}

QString CBodyIndexBuildDialog::summaryText() const
{
    return summary_->text();
}
