#include "CImportDataList.h"

#include "CImportDataSheet.h"
#include "ImportSheetTexts.h"
#include "SheetFields.h"
#include "browser/import/ImportSettings.h"

#include "common/Codec.h"
#include "common/UiSeam.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <limits>

using namespace ImportSheetText;

namespace {
QLabel *label(const char *text, QWidget *parent)
{
    return new QLabel(QString::fromUtf8(text), parent);
}

// Shows a mode on its radio buttons; a mode without a button shows none chosen.
template<std::size_t N>
void showMode(QButtonGroup *group, const std::array<QRadioButton *, N> &buttons, int mode)
{
    group->setExclusive(false);
    for (std::size_t i = 0; i < N; ++i)
        buttons[i]->setChecked(int(i) == mode);
    group->setExclusive(true);
}

// Whole number with blanks around and an optional sign, within 32 bits, signed as typed
// or unsigned as the field shows a counter beyond 2147483647.
std::optional<std::int32_t> parseInt32(const QString &text)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    const qlonglong value = trimmed.toLongLong(&ok, 10);
    if (!ok || value < std::numeric_limits<std::int32_t>::min()
        || value > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    return std::int32_t(std::uint32_t(value));
}
} // namespace

CImportDataList::CImportDataList(QWidget *parent)
    : QWidget(parent)
{
    presets_ = new QComboBox(this);
    presets_->setEditable(false);
    presets_->setInsertPolicy(QComboBox::NoInsert);
    pattern_ = new QLineEdit(this);
    table_ = new QLineEdit(this);
    checkTopicid_ = new QCheckBox(QString::fromUtf8(CheckTopicidBox), this);
    checkTitle_ = new QCheckBox(QString::fromUtf8(CheckTitleBox), this);

    auto *layout = new QVBoxLayout(this);
    auto *top = new QGridLayout;
    top->addWidget(label(PresetLabel, this), 0, 0);
    top->addWidget(presets_, 0, 1, 1, 2);
    top->addWidget(label(PatternLabel, this), 1, 0);
    top->addWidget(pattern_, 1, 1);
    top->addWidget(label(PatternNote, this), 1, 2);
    top->addWidget(label(TableLabel, this), 2, 0);
    top->addWidget(table_, 2, 1);
    top->addWidget(label(TableNote, this), 2, 2);
    top->setColumnStretch(1, 1);
    layout->addLayout(top);
    layout->addWidget(checkTopicid_);
    layout->addWidget(checkTitle_);

    auto *roomid = new QGroupBox(QString::fromUtf8(RoomidGroup), this);
    roomidStart_ = SheetFields::textField(2, true, roomid);
    roomidEnd_ = SheetFields::textField(2, true, roomid);
    roomidGroup_ = new QButtonGroup(this);
    auto *roomidLayout = new QGridLayout(roomid);
    roomidLayout->addWidget(label(MarkerStart, roomid), 0, 0, Qt::AlignTop);
    roomidLayout->addWidget(roomidStart_, 0, 1);
    roomidLayout->addWidget(label(MarkerEnd, roomid), 0, 2, Qt::AlignTop);
    roomidLayout->addWidget(roomidEnd_, 0, 3);
    for (int mode = 0; mode < 5; ++mode) {
        auto *button = new QRadioButton(QString::fromUtf8(RoomidModes[mode]), roomid);
        roomidRadios_[std::size_t(mode)] = button;
        roomidGroup_->addButton(button, mode);
        roomidLayout->addWidget(button, 1 + mode, 0, 1, 4);
    }
    layout->addWidget(roomid);

    auto *lower = new QHBoxLayout;
    auto *topicid = new QGroupBox(QString::fromUtf8(TopicidGroup), this);
    topicidGroup_ = new QButtonGroup(this);
    topicidRadios_[0] = new QRadioButton(QString::fromUtf8(TopicidFromName), topicid);
    topicidRadios_[1] = new QRadioButton(QString::fromUtf8(TopicidAutogrow), topicid);
    topicidGroup_->addButton(topicidRadios_[0], 0);
    topicidGroup_->addButton(topicidRadios_[1], 1);
    autogrow_ = new QLineEdit(topicid);
    findUnique_ = new QPushButton(QString::fromUtf8(FindUniqueButton), topicid);
    auto *topicidLayout = new QGridLayout(topicid);
    topicidLayout->addWidget(topicidRadios_[0], 0, 0, 1, 2);
    topicidLayout->addWidget(topicidRadios_[1], 1, 0, 1, 2);
    topicidLayout->addWidget(autogrow_, 2, 0);
    topicidLayout->addWidget(findUnique_, 2, 1);
    lower->addWidget(topicid);

    auto *title = new QGroupBox(QString::fromUtf8(TitleGroup), this);
    titleGroup_ = new QButtonGroup(this);
    titleRadios_[0] = new QRadioButton(title);
    titleRadios_[1] = new QRadioButton(QString::fromUtf8(TitleFromName), title);
    titleGroup_->addButton(titleRadios_[0], 0);
    titleGroup_->addButton(titleRadios_[1], 1);
    titleStart_ = SheetFields::textField(2, true, title);
    titleEnd_ = SheetFields::textField(2, true, title);
    auto *titleLayout = new QGridLayout(title);
    titleLayout->addWidget(titleRadios_[0], 0, 0, Qt::AlignTop);
    titleLayout->addWidget(label(MarkerStart, title), 0, 1, Qt::AlignTop);
    titleLayout->addWidget(titleStart_, 0, 2);
    titleLayout->addWidget(label(MarkerEnd, title), 1, 1, Qt::AlignTop);
    titleLayout->addWidget(titleEnd_, 1, 2);
    titleLayout->addWidget(titleRadios_[1], 2, 0, 1, 3);
    titleLayout->setColumnStretch(2, 1);
    lower->addWidget(title, 1);
    layout->addLayout(lower);
    layout->addStretch(1);

    connect(roomidGroup_, &QButtonGroup::idClicked, this, [this](int mode) {
        roomidMode_ = mode;
        EnableRoomidMarkers(mode);
    });
    connect(topicidGroup_, &QButtonGroup::idClicked, this, [this](int mode) {
        topicidMode_ = mode;
        EnableAutogrow(mode);
    });
    connect(titleGroup_, &QButtonGroup::idClicked, this, [this](int mode) {
        titleMode_ = mode;
        EnableTitleMarkers(mode);
    });
    connect(presets_, &QComboBox::activated, this, &CImportDataList::presetChosen);
    connect(findUnique_, &QPushButton::clicked, this, &CImportDataList::findUniqueRequested);
}

CImportDataList::~CImportDataList() = default;

void CImportDataList::SetRoomidMode(int mode)
{
    roomidMode_ = mode;
    showMode(roomidGroup_, roomidRadios_, mode);
}

void CImportDataList::SetTopicidMode(int mode)
{
    topicidMode_ = mode;
    showMode(topicidGroup_, topicidRadios_, mode);
}

void CImportDataList::SetTitleMode(int mode)
{
    titleMode_ = mode;
    showMode(titleGroup_, titleRadios_, mode);
}

std::optional<std::int32_t> CImportDataList::AutogrowStart() const
{
    return parseInt32(autogrow_->text());
}

void CImportDataList::SetAutogrowStart(std::int64_t value)
{
    // The run's counter is unsigned: "搜索唯一值" above 2147483647 shows that number, and
    // a negative value typed shows as the number the run will start from.
    autogrow_->setText(QString::number(std::uint32_t(value)));
}

void CImportDataList::EnableRoomidMarkers(int mode)
{
    if (mode < 0 || mode > 4)
        return;
    roomidStart_->setEnabled(mode <= 2);
    roomidEnd_->setEnabled(mode <= 1);
}

void CImportDataList::EnableAutogrow(int topicidMode)
{
    if (topicidMode == 0 || topicidMode == 1)
        autogrow_->setEnabled(topicidMode == 1);
}

void CImportDataList::EnableTitleMarkers(int titleMode)
{
    if (titleMode != 0 && titleMode != 1)
        return;
    titleStart_->setEnabled(titleMode == 0);
    titleEnd_->setEnabled(titleMode == 0);
}

void CImportDataList::LockToRoom(const std::string &roomid, const std::string &table)
{
    SetRoomidMode(2);
    EnableRoomidMarkers(2);
    SheetFields::setGbk(roomidStart_, roomid);
    roomidStart_->setReadOnly(true);
    table_->setText(Gbk::toQString(table));
    table_->setReadOnly(true);
    for (int mode = 0; mode < 5; ++mode)
        roomidRadios_[std::size_t(mode)]->setEnabled(mode == 2);
}

void CImportDataList::ShowValues(const ImportSettings &settings)
{
    pattern_->setText(Gbk::toQString(settings.filePattern));
    table_->setText(Gbk::toQString(settings.table));
    checkTopicid_->setChecked(settings.checkTopicid);
    checkTitle_->setChecked(settings.checkTitle);
    SetRoomidMode(settings.roomidMode);
    SheetFields::setGbk(roomidStart_, settings.roomid.start);
    SheetFields::setGbk(roomidEnd_, settings.roomid.end);
    SetTopicidMode(settings.topicidMode);
    SetAutogrowStart(settings.autoGrowStart);
    SetTitleMode(settings.titleMode);
    SheetFields::setGbk(titleStart_, settings.title.start);
    SheetFields::setGbk(titleEnd_, settings.title.end);
}

void CImportDataList::ApplyEnabling(const ImportSettings &settings)
{
    EnableRoomidMarkers(settings.roomidMode);
    EnableAutogrow(settings.topicidMode);
    EnableTitleMarkers(settings.titleMode);
}

bool CImportDataList::ReadFields(ImportSettings &settings, bool complain)
{
    const std::optional<std::int32_t> autogrow = AutogrowStart();
    settings.filePattern = Gbk::fromQString(pattern_->text());
    settings.table = Gbk::fromQString(table_->text());
    settings.checkTopicid = checkTopicid_->isChecked();
    settings.checkTitle = checkTitle_->isChecked();
    settings.roomidMode = roomidMode_;
    settings.roomid = {SheetFields::gbkOf(roomidStart_), SheetFields::gbkOf(roomidEnd_)};
    settings.topicidMode = topicidMode_;
    settings.titleMode = titleMode_;
    settings.title = {SheetFields::gbkOf(titleStart_), SheetFields::gbkOf(titleEnd_)};
    if (autogrow) {
        settings.autoGrowStart = *autogrow;
        return true;
    }
    if (!complain)
        return false;
    if (sheet_)
        sheet_->ShowPage(this);
    UiSeam::ShowMessage(this, QString::fromUtf8(NotAnInteger), QMessageBox::Warning);
    autogrow_->setFocus();
    autogrow_->selectAll();
    return false;
}

bool CImportDataList::fail(const char *text, QWidget *field)
{
    if (sheet_)
        sheet_->ShowPage(this);
    UiSeam::ShowMessage(this, QString::fromUtf8(ListPrefix) + QString::fromUtf8(text),
                        QMessageBox::Warning);
    field->setFocus();
    return true;
}

bool CImportDataList::ValidatePage(ImportSettings &settings)
{
    if (!ReadFields(settings))
        return true;
    if (pattern_->text().isEmpty())
        return fail(NeedPattern, pattern_);
    if (table_->text().isEmpty())
        return fail(NeedTable, table_);
    const struct
    {
        QPlainTextEdit *field;
        const char *text;
    } markers[] = {{roomidStart_, NeedRoomidStart},
                   {roomidEnd_, NeedRoomidEnd},
                   {titleStart_, NeedTitleStart},
                   {titleEnd_, NeedTitleEnd}};
    for (const auto &marker : markers) {
        if (marker.field->isEnabled() && marker.field->toPlainText().isEmpty())
            return fail(marker.text, marker.field);
    }
    return false;
}
