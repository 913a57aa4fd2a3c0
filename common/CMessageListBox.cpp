#include "CMessageListBox.h"

#include "Codec.h"
#include "CommonTexts.h"
#include "FileSystem.h"
#include "MessageExport.h"
#include "UiSeam.h"

namespace {
// The entry's GBK bytes are kept beside its text, so an export writes exactly
// what arrived.
constexpr int GbkRole = Qt::UserRole + 1;
} // namespace

CMessageListBox::CMessageListBox(QWidget *parent)
    : QListWidget(parent)
{
    setSortingEnabled(false);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
}

void CMessageListBox::AppendMessage(const std::string &gbkText)
{
    auto *item = new QListWidgetItem(Gbk::toQString(gbkText));
    item->setData(GbkRole, QByteArray(gbkText.data(), qsizetype(gbkText.size())));
    addItem(item);
}

void CMessageListBox::ClearMessages()
{
    clear();
}

std::vector<std::string> CMessageListBox::Messages() const
{
    std::vector<std::string> lines;
    lines.reserve(std::size_t(count()));
    for (int i = 0; i < count(); ++i) {
        const QByteArray bytes = item(i)->data(GbkRole).toByteArray();
        lines.emplace_back(bytes.constData(), std::size_t(bytes.size()));
    }
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
