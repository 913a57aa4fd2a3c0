#include "CMessageListBox.h"

#include "MessageLineModel.h"
#include "UiSeam.h"
#include "common/Codec.h"
#include "common/CommonTexts.h"
#include "common/FileSystem.h"
#include "common/MessageExport.h"

CMessageListBox::CMessageListBox(QWidget *parent)
    : QListView(parent)
    , model_(new MessageLineModel(this))
{
    setModel(model_);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void CMessageListBox::AppendMessage(const std::string &gbkText)
{
    model_->Append(gbkText);
}

void CMessageListBox::AppendMessages(const std::vector<std::string> &gbkLines)
{
    model_->AppendBlock(gbkLines);
}

void CMessageListBox::ClearMessages()
{
    model_->Clear();
}

int CMessageListBox::count() const
{
    return model_->rowCount();
}

std::string_view CMessageListBox::MessageAt(int row) const
{
    return model_->Line(row);
}

QString CMessageListBox::text(int row) const
{
    return Gbk::toQString(model_->Line(row));
}

std::vector<std::string> CMessageListBox::Messages() const
{
    std::vector<std::string> lines;
    lines.reserve(std::size_t(count()));
    for (int i = 0; i < count(); ++i)
        lines.emplace_back(model_->Line(i));
    return lines;
}

void CMessageListBox::ExportMessages()
{
    UiSeam::FileDialogCall call;
    call.kind = UiSeam::FileDialogCall::SaveFile;
    call.fileName = QString::fromUtf8(CommonText::ExportDefaultName);
    call.defaultSuffix = QString::fromUtf8(CommonText::ExportDefaultSuffix);
    call.filter = QString::fromUtf8(CommonText::ExportFilter);
    call.confirmOverwrite = true;
    const QString chosen = UiSeam::AskFilePath(this, call);
    if (chosen.isEmpty())
        return;
    const std::string path = FileSystem::fromQtPath(chosen);
    std::string why;
    if (WriteMessageLines(path, Messages(), why) != 0) {
        UiSeam::ShowMessage(
                this, QString::fromUtf8(CommonText::ExportFailed).arg(chosen, Gbk::toQString(why)),
                QMessageBox::Warning);
        return;
    }
    UiSeam::ShowMessage(this, QString::fromUtf8(CommonText::ExportDone) + chosen,
                        QMessageBox::Information);
}
