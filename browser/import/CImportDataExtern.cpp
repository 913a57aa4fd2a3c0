#include "CImportDataExtern.h"

#include "CImportDataSheet.h"
#include "ImportSheetTexts.h"
#include "SheetFields.h"
#include "browser/import/ImportSettings.h"

#include "common/UiSeam.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

using namespace ImportSheetText;

namespace {
constexpr const char *const GroupTitles[] = {UsernameBox, ReplyBox, TimeBox};
constexpr const char *const FrameTexts[] = {UsernameFrame, ReplyFrame, TimeFrame};
} // namespace

CImportDataExtern::CImportDataExtern(QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    for (int i = 0; i < 3; ++i) {
        // A checkable group disables its fields while its box is off.
        auto *group = new QGroupBox(QString::fromUtf8(GroupTitles[i]), this);
        group->setCheckable(true);
        group->setChecked(false);
        starts_[std::size_t(i)] = SheetFields::textField(2, true, group);
        ends_[std::size_t(i)] = SheetFields::textField(2, true, group);
        auto *grid = new QGridLayout(group);
        grid->addWidget(new QLabel(QString::fromUtf8(MarkerStart), group), 0, 0, Qt::AlignTop);
        grid->addWidget(starts_[std::size_t(i)], 0, 1);
        grid->addWidget(new QLabel(QString::fromUtf8(MarkerEnd), group), 1, 0, Qt::AlignTop);
        grid->addWidget(ends_[std::size_t(i)], 1, 1);
        groups_[std::size_t(i)] = group;
        layout->addWidget(group);
    }
    layout->addStretch(1);
}

void CImportDataExtern::ShowValues(const ImportSettings &settings)
{
    const OptionalField *fields[] = {&settings.username, &settings.reply, &settings.createtime};
    for (std::size_t i = 0; i < 3; ++i) {
        groups_[i]->setChecked(fields[i]->get);
        SheetFields::setGbk(starts_[i], fields[i]->markers.start);
        SheetFields::setGbk(ends_[i], fields[i]->markers.end);
    }
}

void CImportDataExtern::ReadFields(ImportSettings &settings) const
{
    OptionalField *fields[] = {&settings.username, &settings.reply, &settings.createtime};
    for (std::size_t i = 0; i < 3; ++i) {
        fields[i]->get = groups_[i]->isChecked();
        fields[i]->markers = {SheetFields::gbkOf(starts_[i]), SheetFields::gbkOf(ends_[i])};
    }
}

bool CImportDataExtern::IsOn(Field field) const
{
    return groups_[field]->isChecked();
}

void CImportDataExtern::SetOn(Field field, bool on)
{
    groups_[field]->setChecked(on);
}

bool CImportDataExtern::ValidatePage()
{
    for (int i = 0; i < 3; ++i) {
        if (!groups_[std::size_t(i)]->isChecked())
            continue;
        const std::pair<QPlainTextEdit *, const char *> checks[] = {
                {starts_[std::size_t(i)], NeedStart}, {ends_[std::size_t(i)], NeedEnd}};
        for (const auto &[field, text] : checks) {
            if (!field->toPlainText().isEmpty())
                continue;
            if (sheet_)
                sheet_->ShowPage(this);
            UiSeam::ShowMessage(this,
                                QString::fromUtf8(ExternPrefix) + QString::fromUtf8(FrameTexts[i])
                                        + QString::fromUtf8(text),
                                QMessageBox::Warning);
            field->setFocus();
            return true;
        }
    }
    return false;
}
