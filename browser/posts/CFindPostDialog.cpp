#include "CFindPostDialog.h"

#include "browser/rooms/PostCommandTexts.h"
#include "common/Codec.h"
#include "common/UiSeam.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}
} // namespace

CFindPostDialog::CFindPostDialog(QWidget *parent, std::vector<std::string> names,
                                 std::vector<std::string> tables, SubRoomLister subRooms,
                                 SqlDialect dialect, TitleIndexProbe titleIndex)
    : QDialog(parent)
    , names_(std::move(names))
    , tables_(std::move(tables))
    , subRooms_(std::move(subRooms))
    , dialect_(dialect)
    , titleIndex_(std::move(titleIndex))
{
    using namespace PostCommandText;
    setWindowTitle(text(FindTitle));

    root_ = new QComboBox(this);
    table_ = new QLineEdit(this);
    table_->setReadOnly(true);
    subRoom_ = new QComboBox(this);
    subRoom_->setMinimumContentsLength(24);
    subRoom_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    includeSubRooms_ = new QCheckBox(text(IncludeSubRooms), this);
    includeSubRooms_->setChecked(true);
    auto *rooms = new QFormLayout;
    rooms->addRow(text(RootLabel), root_);
    rooms->addRow(text(TableLabel), table_);
    rooms->addRow(text(SubRoomLabel), subRoom_);
    rooms->addRow(QString(), includeSubRooms_);

    auto *search = new QGroupBox(text(SearchGroup), this);
    byTitle_ = new QRadioButton(text(ByTitle), search);
    byTopicId_ = new QRadioButton(text(ByTopicId), search);
    byTitle_->setChecked(true);
    text_ = new QLineEdit(search);
    auto *searchLayout = new QVBoxLayout(search);
    auto *choices = new QHBoxLayout;
    choices->addWidget(byTitle_);
    choices->addWidget(byTopicId_);
    choices->addStretch(1);
    searchLayout->addLayout(choices);
    searchLayout->addWidget(text_);
    for (const char *hint : {HintEmpty, HintWords}) {
        auto *label = new QLabel(text(hint), search);
        label->setWordWrap(true);
        searchLayout->addWidget(label);
    }

    auto *buttons = new QDialogButtonBox(this);
    start_ = buttons->addButton(text(PostCommandText::StartFind), QDialogButtonBox::AcceptRole);
    QPushButton *cancel = buttons->addButton(text(CancelFind), QDialogButtonBox::RejectRole);
    start_->setDefault(true);
    connect(start_, &QPushButton::clicked, this, &CFindPostDialog::StartFind);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(rooms);
    layout->addWidget(search);
    layout->addWidget(buttons);
    setMinimumWidth(420);

    for (const std::string &name : names_)
        root_->addItem(Gbk::toQString(name));
    connect(root_, &QComboBox::currentIndexChanged, this, &CFindPostDialog::RootChanged);
    if (root_->count() > 0)
        root_->setCurrentIndex(0);
    RootChanged();
    text_->setFocus();
}

void CFindPostDialog::RootChanged()
{
    const int r = root_->currentIndex();
    subRoomPaths_.clear();
    subRoomIds_.clear();
    subRoom_->clear();
    table_->setText(r >= 0 && std::size_t(r) < tables_.size()
                            ? Gbk::toQString(tables_[std::size_t(r)])
                            : QString());
    if (r >= 0 && subRooms_)
        subRooms_(r, subRoomPaths_, subRoomIds_);
    subRoom_->addItem(text(PostCommandText::AllPostsEntry));
    for (const std::string &path : subRoomPaths_)
        subRoom_->addItem(Gbk::toQString(path));
    subRoom_->setCurrentIndex(0);
}

FindQueryInput CFindPostDialog::Input() const
{
    FindQueryInput input;
    const int r = root_->currentIndex();
    if (r >= 0 && std::size_t(r) < tables_.size())
        input.table = tables_[std::size_t(r)];
    input.byTopicId = byTopicId_->isChecked();
    input.text = Gbk::fromQString(text_->text());
    input.subRoomPaths = subRoomPaths_;
    input.subRoomIds = subRoomIds_;
    input.subRoomEntry = std::max(0, subRoom_->currentIndex());
    input.includeSubRooms = includeSubRooms_->isChecked();
    return input;
}

void CFindPostDialog::StartFind()
{
    const int r = root_->currentIndex();
    if (r < 0)
        return;
    std::string problem;
    BoundStatement statement;
    const FindQueryInput input = Input();
    const bool indexed = titleIndex_ && !input.byTopicId && titleIndex_(input.table);
    if (!ComposeFindQuery(input, dialect_, statement, problem, indexed)) {
        UiSeam::ShowMessage(this, Gbk::toQString(problem), QMessageBox::Warning);
        return;
    }
    statement_ = std::move(statement);
    chosenRoot_ = r;
    accept();
}
