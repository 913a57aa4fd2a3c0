#include "CImportDataBase.h"

#include "CImportDataSheet.h"
#include "ImportSheetTexts.h"
#include "SheetFields.h"
#include "browser/import/ImportSettings.h"
#include "browser/import/ImportTexts.h"

#include "browser/db/ConnectionString.h"
#include "common/CMessageListBox.h"
#include "common/CMessageOutput.h"
#include "common/Codec.h"
#include "common/FileSystem.h"
#include "common/UiSeam.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace ImportSheetText;

CImportDataBase::CImportDataBase(QWidget *parent)
    : QWidget(parent)
{
    connection_ = SheetFields::textField(2, false, this);
    folder_ = SheetFields::textField(2, false, this);
    choose_ = new QPushButton(QString::fromUtf8(ChooseFolderButton), this);
    pathCheck_ = new QCheckBox(QString::fromUtf8(PathCheckBox), this);
    clear_ = new QPushButton(QString::fromUtf8(ClearMessagesButton), this);
    export_ = new QPushButton(QString::fromUtf8(ExportMessagesButton), this);
    list_ = new CMessageListBox(this);
    status_ = new QLabel(QString::fromUtf8(ImportText::IdleStatus), this);
    progress_ = new QLabel(this);
    // A long path must not widen the sheet.
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    progress_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    output_ = std::make_unique<CMessageOutput>(list_, status_);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QString::fromUtf8(ConnectionLabel), this));
    layout->addWidget(connection_);
    layout->addWidget(new QLabel(QString::fromUtf8(FolderLabel), this));
    auto *folderRow = new QHBoxLayout;
    folderRow->addWidget(folder_, 1);
    folderRow->addWidget(choose_, 0, Qt::AlignTop);
    layout->addLayout(folderRow);
    layout->addWidget(pathCheck_);
    auto *messageRow = new QHBoxLayout;
    messageRow->addWidget(new QLabel(QString::fromUtf8(MessagesLabel), this));
    messageRow->addStretch(1);
    messageRow->addWidget(clear_);
    messageRow->addWidget(export_);
    layout->addLayout(messageRow);
    layout->addWidget(list_, 1);
    auto *statusRow = new QHBoxLayout;
    statusRow->addWidget(new QLabel(QString::fromUtf8(StatusLabel), this));
    statusRow->addWidget(status_, 1);
    layout->addLayout(statusRow);
    layout->addWidget(progress_);

    connect(choose_, &QPushButton::clicked, this, &CImportDataBase::ChooseImportFolder);
    connect(clear_, &QPushButton::clicked, list_, &CMessageListBox::ClearMessages);
    connect(export_, &QPushButton::clicked, list_, &CMessageListBox::ExportMessages);
}

CImportDataBase::~CImportDataBase() = default;

std::string CImportDataBase::ConnectionString() const
{
    return SheetFields::gbkOf(connection_);
}

void CImportDataBase::SetConnectionString(const std::string &text)
{
    // The database file's path is shown with this system's separators; either kind
    // reads back the same.
    SheetFields::setGbk(connection_, WithSlashesInDataSource(text));
}

std::string CImportDataBase::ImportFolder() const
{
    return SheetFields::gbkOf(folder_);
}

void CImportDataBase::SetImportFolder(const std::string &text)
{
    SheetFields::setGbk(folder_, text);
}

bool CImportDataBase::PathCheck() const
{
    return pathCheck_->isChecked();
}

void CImportDataBase::SetPathCheck(bool on)
{
    pathCheck_->setChecked(on);
}

void CImportDataBase::ShowValues(const ImportSettings &settings)
{
    SetConnectionString(settings.connectionString);
    SetImportFolder(settings.importDirectory);
    pathCheck_->setChecked(settings.pathCheck);
}

void CImportDataBase::ReadFields(ImportSettings &settings) const
{
    // Text typed anew is expanded again; the expansion the field shows is not.
    std::string connection = ConnectionString();
    if (connection != settings.connectionString) {
        settings.connectionString = std::move(connection);
        settings.connectionExpanded = false;
    }
    settings.importDirectory = ImportFolder();
    settings.pathCheck = pathCheck_->isChecked();
}

bool CImportDataBase::fail(const char *text, QWidget *field)
{
    if (sheet_)
        sheet_->ShowPage(this);
    UiSeam::ShowMessage(this, QString::fromUtf8(BasePrefix) + QString::fromUtf8(text),
                        QMessageBox::Warning);
    field->setFocus();
    return true;
}

bool CImportDataBase::ValidatePage()
{
    if (ConnectionString().empty())
        return fail(NeedConnection, connection_);
    if (ImportFolder().empty())
        return fail(NeedFolder, folder_);
    return false;
}

void CImportDataBase::ChooseImportFolder()
{
    UiSeam::FileDialogCall call;
    call.kind = UiSeam::FileDialogCall::Directory;
    call.caption = QString::fromUtf8(ChooseFolderTitle);
    // A folder not made yet (the default "Import/") opens the picker at its nearest
    // existing parent rather than wherever the last dialog was.
    const std::string current = ImportFolder();
    if (!current.empty())
        call.directory = FileSystem::toQtPath(FileSystem::nearestExistingDirectory(current));
    call.confirmOverwrite = false;
    const QString chosen = UiSeam::AskFilePath(this, call);
    if (chosen.isEmpty())
        return;
    std::string path = FileSystem::fromQtPath(chosen);
    if (!FileSystem::isDirectory(path)) {
        UiSeam::ShowMessage(this, QString::fromUtf8(FolderPathFailed), QMessageBox::Critical);
        return;
    }
    if (path.empty() || path.back() != '/')
        path += '/';
    SetImportFolder(path);
}

void CImportDataBase::AddMessage(const std::string &gbkText, bool toStatusLine)
{
    output_->AddMessage(gbkText, toStatusLine);
}

void CImportDataBase::AddMessages(const std::vector<std::string> &gbkLines)
{
    list_->AppendMessages(gbkLines);
}

void CImportDataBase::SetProgress(const QString &text)
{
    progress_->setText(text);
}
