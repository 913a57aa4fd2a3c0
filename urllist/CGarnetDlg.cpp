#include "CGarnetDlg.h"

#include "common/CAboutDialog.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/UiSeam.h"
#include "urllist/GarnetTexts.h"
#include "urllist/MissingUrlList.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

QLineEdit *idField(QWidget *parent, const QString &name)
{
    auto *field = new QLineEdit(parent);
    field->setObjectName(name);
    // Digits only, as typed or pasted; the range is checked when the fields are read.
    field->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), field));
    return field;
}

} // namespace

QIcon GarnetIcon()
{
    return QIcon(QStringLiteral(":/garnet/Garnet.svg"));
}

CGarnetDlg::CGarnetDlg(QWidget *parent)
    : QDialog(parent)
    , server_(ReadServerSetting())
    , table_(BuildUrlTemplateTable(server_.baseUrl))
    , outputPath_(new QLineEdit(this))
    , format_(new QComboBox(this))
    , template_(new QLineEdit(this))
    , firstId_(idField(this, QStringLiteral("firstId")))
    , lastId_(idField(this, QStringLiteral("lastId")))
    , missingOnly_(new QCheckBox(text(GarnetText::MissingOnlyBox), this))
    , archiveConfig_(new QLineEdit(this))
    , generate_(new QPushButton(text(GarnetText::GenerateButton), this))
    , menuButton_(new QToolButton(this))
    , systemMenu_(new QMenu(this))
{
    setWindowTitle(text(GarnetText::DialogTitle));
    setWindowIcon(GarnetIcon());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    outputPath_->setObjectName(QStringLiteral("outputPath"));
    format_->setObjectName(QStringLiteral("format"));
    template_->setObjectName(QStringLiteral("lineTemplate"));
    generate_->setObjectName(QStringLiteral("generate"));
    missingOnly_->setObjectName(QStringLiteral("missingOnly"));
    archiveConfig_->setObjectName(QStringLiteral("archiveConfig"));
    outputPath_->setMinimumWidth(420);

    // No default button: Enter goes to OnOK unless a button has the focus.
    generate_->setAutoDefault(false);
    generate_->setDefault(false);

    systemMenu_->addAction(text(GarnetText::CloseMenuEntry), this, &QDialog::reject);
    systemMenu_->addSeparator();
    systemMenu_->addAction(text(GarnetText::AboutMenuEntry), this, &CGarnetDlg::ShowAbout);
    menuButton_->setObjectName(QStringLiteral("systemMenuButton"));
    menuButton_->setIcon(windowIcon());
    menuButton_->setIconSize(QSize(20, 20));
    menuButton_->setText(text(GarnetText::MenuButtonLabel));
    menuButton_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    menuButton_->setAutoRaise(true);
    menuButton_->setToolTip(text(GarnetText::MenuButtonTip));
    menuButton_->setMenu(systemMenu_);
    menuButton_->setPopupMode(QToolButton::InstantPopup);
    auto *menuKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
    connect(menuKey, &QShortcut::activated, this, &CGarnetDlg::showSystemMenuAtButton);

    auto *frame = new QGroupBox(text(GarnetText::FrameLabel), this);
    auto *grid = new QGridLayout(frame);
    const auto addRow = [&](int row, const char *label, QWidget *field) {
        auto *caption = new QLabel(text(label), frame);
        caption->setBuddy(field);
        grid->addWidget(caption, row, 0, Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(field, row, 1);
    };
    addRow(0, GarnetText::OutputPathLabel, outputPath_);
    addRow(1, GarnetText::FormatLabel, format_);
    addRow(2, GarnetText::TemplateLabel, template_);
    addRow(3, GarnetText::FirstIdLabel, firstId_);
    addRow(4, GarnetText::LastIdLabel, lastId_);
    grid->addWidget(missingOnly_, 5, 1);
    addRow(6, GarnetText::ArchiveConfigLabel, archiveConfig_);
    grid->setColumnStretch(1, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(menuButton_);
    buttons->addStretch(1);
    buttons->addWidget(generate_);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetMinimumSize);

    outputPath_->setText(Gbk::toQString(DefaultUrlListPath()));
    archiveConfig_->setText(Gbk::toQString(DefaultArchiveConfigPath()));
    archiveConfig_->setEnabled(false);
    connect(missingOnly_, &QCheckBox::toggled, archiveConfig_, &QWidget::setEnabled);
    for (const UrlTemplateEntry &entry : table_)
        format_->addItem(Gbk::toQString(entry.label));
    format_->setCurrentIndex(HtmlFormat);
    OnFormatSelectionChange(HtmlFormat);
    connect(format_, &QComboBox::currentIndexChanged, this, &CGarnetDlg::OnFormatSelectionChange);
    connect(generate_, &QPushButton::clicked, this, &CGarnetDlg::GenerateUrlList);
}

void CGarnetDlg::OnFormatSelectionChange(int index)
{
    if (index < 0 || index >= int(table_.size()))
        return;
    // Replaces whatever was typed: the user asked for this format's template.
    const UrlTemplateEntry &entry = table_[std::size_t(index)];
    template_->setText(Gbk::toQString(entry.lineTemplate));
    firstId_->setText(QString::number(entry.firstId));
    lastId_->setText(QString::number(entry.lastId));
}

bool CGarnetDlg::readPostId(QLineEdit *field, std::int32_t &id)
{
    const PostIdCheck check = ParsePostId(Gbk::fromQString(field->text()), id);
    if (check == PostIdCheck::Valid)
        return true;
    UiSeam::ShowMessage(this, Gbk::toQString(PostIdPrompt(check)), QMessageBox::Warning);
    field->setFocus();
    field->selectAll();
    return false;
}

bool CGarnetDlg::readFields(UrlListRequest &request)
{
    request.outputPath = FileSystem::fromQtPath(outputPath_->text());
    request.format = format_->currentIndex();
    request.lineTemplate = Gbk::fromQString(template_->text());
    return readPostId(firstId_, request.firstId) && readPostId(lastId_, request.lastId);
}

void CGarnetDlg::GenerateUrlList()
{
    UrlListRequest request;
    if (!readFields(request))
        return;
    // A rejected range is reported before anything is asked about the folder.
    if (CheckUrlListRange(request).outcome == UrlListOutcome::Written
        && !ensureOutputFolder(request.outputPath))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const UrlListResult result = missingOnly_->isChecked()
            ? GenerateMissingUrlListFile(table_, request,
                                         FileSystem::fromQtPath(archiveConfig_->text()))
            : GenerateUrlListFile(table_, request);
    QApplication::restoreOverrideCursor();
    UiSeam::ShowMessage(this, Gbk::toQString(result.text),
                        result.outcome == UrlListOutcome::Written ? QMessageBox::Information
                                                                  : QMessageBox::Warning);
}

bool CGarnetDlg::ensureOutputFolder(const std::string &outputPath)
{
    const std::string folder = MissingOutputFolder(outputPath);
    if (folder.empty())
        return true;
    const QString shown = Gbk::toQString(folder);
    if (UiSeam::ShowMessage(this, text(GarnetText::CreateFolderQuestion).arg(shown),
                            QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                            QMessageBox::Yes)
        != QMessageBox::Yes)
        return false;
    if (const std::error_code error = FileSystem::createDirectories(folder)) {
        UiSeam::ShowMessage(this,
                            text(GarnetText::CannotCreateFolder)
                                    .arg(shown, Gbk::toQString(FileSystem::errorText(error))),
                            QMessageBox::Warning);
        return false;
    }
    return true;
}

void CGarnetDlg::OnOK()
{
    UrlListRequest request;
    if (readFields(request))
        accept();
}

void CGarnetDlg::ShowAbout()
{
    CAboutDialog about(this, text(GarnetText::AboutTitle), text(GarnetText::AboutText),
                       windowIcon());
    UiSeam::ExecModal(about);
}

void CGarnetDlg::showSystemMenuAtButton()
{
    systemMenu_->popup(menuButton_->mapToGlobal(QPoint(0, menuButton_->height())));
}

void CGarnetDlg::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool plain = event->modifiers() == Qt::NoModifier
            || (event->modifiers() == Qt::KeypadModifier && event->key() == Qt::Key_Enter);
    if (!enter || !plain) {
        QDialog::keyPressEvent(event);
        return;
    }
    // A button with the focus takes Enter for itself, as on the desktop it came from.
    if (focusWidget() == menuButton_) {
        showSystemMenuAtButton();
        return;
    }
    if (auto *button = qobject_cast<QAbstractButton *>(focusWidget())) {
        button->click();
        return;
    }
    OnOK();
}

void CGarnetDlg::contextMenuEvent(QContextMenuEvent *event)
{
    systemMenu_->popup(event->globalPos());
}

void CGarnetDlg::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (reportedServer_ || server_.problem.empty())
        return;
    reportedServer_ = true;
    // Once the window is up, so the box has a parent to sit on.
    QTimer::singleShot(0, this, [this] {
        UiSeam::ShowMessage(this, Gbk::toQString(server_.problem), QMessageBox::Warning);
    });
}
