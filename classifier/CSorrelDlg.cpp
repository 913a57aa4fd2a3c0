#include "CSorrelDlg.h"

#include "CSorrelDlgAutoProxy.h"
#include "classifier/ProgressText.h"
#include "classifier/SorrelTexts.h"

#include "common/CAboutDialog.h"
#include "common/CMessageListBox.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/UiSeam.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QShortcut>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

QPushButton *commandButton(const char *label, QWidget *parent)
{
    auto *button = new QPushButton(text(label), parent);
    // Enter never runs a command: the window has no default button.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QButtonGroup *choiceGroup(QGroupBox *box, std::initializer_list<const char *> labels)
{
    auto *group = new QButtonGroup(box);
    auto *layout = new QVBoxLayout(box);
    int id = 0;
    for (const char *label : labels) {
        auto *option = new QRadioButton(text(label), box);
        group->addButton(option, id++);
        layout->addWidget(option);
    }
    return group;
}

// A progress line: a caption and a path that may be long; the path is elided in the
// middle, with the whole text as its tooltip.
QLabel *progressValue(const char *initial, QWidget *parent)
{
    auto *value = new QLabel(text(initial), parent);
    value->setTextFormat(Qt::PlainText);
    value->setMinimumWidth(200);
    value->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return value;
}

void setPathText(QLabel *label, const std::string &gbkPath)
{
    const QString path = Gbk::toQString(gbkPath);
    label->setText(label->fontMetrics().elidedText(path, Qt::ElideMiddle, label->width()));
    label->setToolTip(path);
}

} // namespace

QIcon SorrelIcon()
{
    return QIcon(QStringLiteral(":/sorrel/Sorrel.svg"));
}

CSorrelDlg::CSorrelDlg(QWidget *parent)
    : QDialog(parent)
    , input_(new QLineEdit(this))
    , pattern_(new QLineEdit(this))
    , output_(new QLineEdit(this))
    , markers_ {new QLineEdit(this), new QLineEdit(this), new QLineEdit(this), new QLineEdit(this)}
    , sequenceStart_(new QLineEdit(this))
    , folderMethod_(nullptr)
    , namingRule_(nullptr)
    , transferMethod_(nullptr)
    , settingsArea_(new QWidget(this))
    , outputFile_(progressValue(SorrelText::OutputFileInitial, this))
    , sourceFile_(progressValue(SorrelText::SourceFileInitial, this))
    , progress_(new QLabel(this))
    , messages_(new CMessageListBox(this))
    , start_(commandButton(SorrelText::StartButton, this))
    , extract_(commandButton(SorrelText::ExtractButton, this))
    , clear_(commandButton(SorrelText::ClearButton, this))
    , export_(commandButton(SorrelText::ExportButton, this))
    , menuButton_(new QToolButton(this))
    , systemMenu_(new QMenu(this))
    , progressTimer_(new QTimer(this))
{
    setWindowTitle(text(SorrelText::DialogTitle));
    setWindowIcon(SorrelIcon());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMinimizeButtonHint, true);

    systemMenu_->addAction(text(SorrelText::CloseMenuEntry), this, &CSorrelDlg::reject);
    const QString about = text(SorrelText::AboutMenuEntry);
    if (!about.isEmpty()) {
        systemMenu_->addSeparator();
        systemMenu_->addAction(about, this, &CSorrelDlg::ShowAbout);
    }
    menuButton_->setObjectName(QStringLiteral("systemMenuButton"));
    menuButton_->setIcon(windowIcon());
    menuButton_->setIconSize(QSize(20, 20));
    menuButton_->setText(text(SorrelText::MenuButtonLabel));
    menuButton_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    menuButton_->setAutoRaise(true);
    menuButton_->setToolTip(text(SorrelText::MenuButtonTip));
    menuButton_->setMenu(systemMenu_);
    menuButton_->setPopupMode(QToolButton::InstantPopup);
    auto *menuKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
    connect(menuKey, &QShortcut::activated, this, [this] {
        systemMenu_->popup(menuButton_->mapToGlobal(QPoint(0, menuButton_->height())));
    });

    auto *settingsLayout = new QVBoxLayout(settingsArea_);
    settingsLayout->setContentsMargins(0, 0, 0, 0);
    settingsLayout->addWidget(buildSettings());
    settingsLayout->addWidget(buildChoices());

    auto *commands = new QHBoxLayout;
    commands->addStretch(1);
    commands->addWidget(start_);
    commands->addWidget(extract_);

    auto *lines = new QGridLayout;
    lines->addWidget(new QLabel(text(SorrelText::OutputFileLine), this), 0, 0);
    lines->addWidget(outputFile_, 0, 1);
    lines->addWidget(new QLabel(text(SorrelText::SourceFileLine), this), 1, 0);
    lines->addWidget(sourceFile_, 1, 1);
    lines->addWidget(progress_, 2, 1);
    lines->setColumnStretch(1, 1);
    outputFile_->setObjectName(QStringLiteral("outputFileLine"));
    sourceFile_->setObjectName(QStringLiteral("sourceFileLine"));
    progress_->setObjectName(QStringLiteral("progressLine"));
    // The line is empty until a run starts: its height is kept from the start, so the
    // window does not grow when the first figures appear.
    progress_->setText(ProgressText(0, 0, 0));
    progress_->setMinimumHeight(progress_->sizeHint().height());
    progress_->clear();

    auto *leftButtons = new QVBoxLayout;
    leftButtons->addWidget(clear_);
    leftButtons->addWidget(export_);
    leftButtons->addStretch(1);
    leftButtons->addWidget(menuButton_, 0, Qt::AlignLeft);
    auto *messageColumn = new QVBoxLayout;
    auto *messageCaption = new QLabel(text(SorrelText::MessagesLabel), this);
    messageCaption->setBuddy(messages_);
    messageColumn->addWidget(messageCaption);
    messageColumn->addWidget(messages_, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addLayout(leftButtons);
    bottom->addLayout(messageColumn, 1);
    messages_->setMinimumHeight(140);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(settingsArea_);
    layout->addLayout(commands);
    layout->addLayout(lines);
    layout->addLayout(bottom, 1);

    showSettings(DefaultClassifierSettings());
    connect(start_, &QPushButton::clicked, this, &CSorrelDlg::StartClassification);
    connect(extract_, &QPushButton::clicked, this, &CSorrelDlg::ExtractConversionFile);
    connect(clear_, &QPushButton::clicked, messages_, &CMessageListBox::ClearMessages);
    connect(export_, &QPushButton::clicked, messages_, &CMessageListBox::ExportMessages);
    // Ten times a second: the progress moves visibly without costing the run.
    progressTimer_->setInterval(100);
    connect(progressTimer_, &QTimer::timeout, this, &CSorrelDlg::takeProgress);
}

CSorrelDlg::~CSorrelDlg()
{
    if (worker_) {
        observer_.RequestStop();
        worker_->wait();
    }
}

QWidget *CSorrelDlg::buildSettings()
{
    auto *area = new QWidget(settingsArea_);
    auto *grid = new QGridLayout(area);
    grid->setContentsMargins(0, 0, 0, 0);
    const auto addRow = [&](int row, int column, const char *label, QLineEdit *field,
                            int span = 1) {
        auto *caption = new QLabel(text(label), area);
        caption->setBuddy(field);
        grid->addWidget(caption, row, column, Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(field, row, column + 1, 1, span);
    };
    addRow(0, 0, SorrelText::InputLabel, input_, 3);
    addRow(1, 0, SorrelText::PatternLabel, pattern_, 3);
    addRow(2, 0, SorrelText::OutputLabel, output_, 3);
    addRow(3, 0, SorrelText::NameStartLabel, markers_[0]);
    addRow(3, 2, SorrelText::NameEndLabel, markers_[1]);
    addRow(4, 0, SorrelText::IdStartLabel, markers_[2]);
    addRow(4, 2, SorrelText::IdEndLabel, markers_[3]);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    input_->setObjectName(QStringLiteral("inputDirectory"));
    pattern_->setObjectName(QStringLiteral("pattern"));
    output_->setObjectName(QStringLiteral("outputDirectory"));
    input_->setMinimumWidth(420);
    return area;
}

QWidget *CSorrelDlg::buildChoices()
{
    auto *frame = new QGroupBox(text(SorrelText::ChoicesFrame), settingsArea_);
    auto *folders = new QGroupBox(text(SorrelText::FolderGroup), frame);
    folderMethod_ = choiceGroup(folders,
                                {SorrelText::FolderByRoomId, SorrelText::FolderByConversion,
                                 SorrelText::FolderBySequence, SorrelText::FolderFlat});
    auto *names = new QGroupBox(text(SorrelText::NamingGroup), frame);
    namingRule_ = choiceGroup(
            names, {SorrelText::NameKeep, SorrelText::NameByRoomName, SorrelText::NameBySequence});
    // The start value sits right after the third option, "(扩展名不变)" after it.
    auto *sequenceRow = new QHBoxLayout;
    sequenceRow->setContentsMargins(24, 0, 0, 0);
    sequenceStart_->setObjectName(QStringLiteral("sequenceStart"));
    sequenceStart_->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("[0-9]*")), sequenceStart_));
    sequenceStart_->setMaximumWidth(110);
    sequenceRow->addWidget(sequenceStart_);
    sequenceRow->addWidget(new QLabel(text(SorrelText::SequenceSuffix), names));
    sequenceRow->addStretch(1);
    static_cast<QVBoxLayout *>(names->layout())->addLayout(sequenceRow);
    auto *transfer = new QGroupBox(text(SorrelText::TransferGroup), frame);
    transferMethod_ = choiceGroup(transfer, {SorrelText::TransferCopy, SorrelText::TransferMove});

    auto *grid = new QGridLayout(frame);
    grid->addWidget(folders, 0, 0, 1, 2);
    grid->addWidget(names, 1, 0);
    grid->addWidget(transfer, 1, 1);
    grid->setColumnStretch(0, 1);
    return frame;
}

void CSorrelDlg::showSettings(const ClassifierSettings &settings)
{
    input_->setText(Gbk::toQString(settings.inputDirectory));
    pattern_->setText(Gbk::toQString(settings.pattern));
    output_->setText(Gbk::toQString(settings.outputDirectory));
    const std::string *markers[] = {&settings.roomNameStart, &settings.roomNameEnd,
                                    &settings.roomIdStart, &settings.roomIdEnd};
    for (int i = 0; i < 4; ++i)
        markers_[i]->setText(Gbk::toQString(*markers[i]));
    sequenceStart_->setText(QString::number(settings.fileSequenceStart));
    folderMethod_->button(int(settings.folderMethod))->setChecked(true);
    namingRule_->button(int(settings.namingRule))->setChecked(true);
    transferMethod_->button(int(settings.transferMethod))->setChecked(true);
}

bool CSorrelDlg::readSettings(ClassifierSettings &settings)
{
    const auto start = ParseSequenceStart(Gbk::fromQString(sequenceStart_->text()));
    if (!start) {
        UiSeam::ShowMessage(this, text(SorrelText::NotAnInteger), QMessageBox::Warning);
        sequenceStart_->setFocus();
        sequenceStart_->selectAll();
        return false;
    }
    settings.inputDirectory = FileSystem::fromQtPath(input_->text());
    settings.pattern = Gbk::fromQString(pattern_->text());
    settings.outputDirectory = FileSystem::fromQtPath(output_->text());
    settings.roomNameStart = Gbk::fromQString(markers_[0]->text());
    settings.roomNameEnd = Gbk::fromQString(markers_[1]->text());
    settings.roomIdStart = Gbk::fromQString(markers_[2]->text());
    settings.roomIdEnd = Gbk::fromQString(markers_[3]->text());
    settings.folderMethod = FolderMethod(folderMethod_->checkedId());
    settings.namingRule = NamingRule(namingRule_->checkedId());
    settings.fileSequenceStart = *start;
    settings.transferMethod = TransferMethod(transferMethod_->checkedId());
    return true;
}

void CSorrelDlg::StartClassification()
{
    startRun(false);
}

void CSorrelDlg::ExtractConversionFile()
{
    startRun(true);
}

void CSorrelDlg::startRun(bool extraction)
{
    if (worker_) {
        // The run's own button reads "停止" while it runs.
        observer_.RequestStop();
        return;
    }
    ClassifierSettings settings;
    if (!readSettings(settings))
        return;
    observer_.Reset();
    worker_ = QThread::create([this, settings, extraction] {
        if (extraction)
            classifier_.ExtractConversionFile(settings, observer_);
        else
            classifier_.StartClassification(settings, observer_);
    });
    connect(worker_, &QThread::finished, this, &CSorrelDlg::onWorkerFinished);
    setRunning(extraction ? extract_ : start_);
    worker_->start();
    progressTimer_->start();
}

void CSorrelDlg::setRunning(QPushButton *runButton)
{
    const bool running = runButton != nullptr;
    if (runButton_)
        runButton_->setText(
                text(runButton_ == start_ ? SorrelText::StartButton : SorrelText::ExtractButton));
    runButton_ = runButton;
    if (runButton_)
        runButton_->setText(text(SorrelText::StopButton));
    settingsArea_->setEnabled(!running);
    start_->setEnabled(!running || runButton == start_);
    extract_->setEnabled(!running || runButton == extract_);
}

void CSorrelDlg::takeProgress()
{
    CThreadedObserver::Snapshot snapshot = observer_.Take();
    for (const std::string &message : snapshot.messages)
        messages_->AppendMessage(message);
    if (!snapshot.outputFile.empty())
        setPathText(outputFile_, snapshot.outputFile);
    if (!snapshot.sourceFile.empty())
        setPathText(sourceFile_, snapshot.sourceFile);
    progress_->setText(ProgressText(snapshot.done, snapshot.total, snapshot.elapsedSeconds));
}

void CSorrelDlg::onWorkerFinished()
{
    progressTimer_->stop();
    worker_->deleteLater();
    worker_ = nullptr;
    takeProgress();
    setRunning(nullptr);
    Q_EMIT runFinished();
    if (closeAfterRun_) {
        closeAfterRun_ = false;
        reject();
    }
}

void CSorrelDlg::reject()
{
    if (worker_) {
        // Stop first; the window closes once the current file is done.
        observer_.RequestStop();
        closeAfterRun_ = true;
        return;
    }
    if (autoProxy_) {
        hide();
        return;
    }
    QDialog::reject();
}

void CSorrelDlg::SetAutoProxy(CSorrelDlgAutoProxy *proxy)
{
    autoProxy_ = proxy;
}

CSorrelDlgAutoProxy *CSorrelDlg::AutoProxy() const
{
    return autoProxy_;
}

void CSorrelDlg::OnAutoProxyReleased()
{
    autoProxy_ = nullptr;
    if (isHidden())
        QDialog::reject();
}

void CSorrelDlg::ShowAbout()
{
    CAboutDialog about(this, text(SorrelText::AboutTitle), text(SorrelText::AboutText),
                       windowIcon());
    UiSeam::ExecModal(about);
}

void CSorrelDlg::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QDialog::keyPressEvent(event);
        return;
    }
    // A button with the focus takes Enter for itself; anywhere else Enter does nothing.
    if (auto *button = qobject_cast<QAbstractButton *>(focusWidget()))
        button->click();
}

void CSorrelDlg::closeEvent(QCloseEvent *event)
{
    event->ignore();
    reject();
}

void CSorrelDlg::contextMenuEvent(QContextMenuEvent *event)
{
    systemMenu_->popup(event->globalPos());
}
