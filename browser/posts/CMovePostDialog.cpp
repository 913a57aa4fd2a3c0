#include "CMovePostDialog.h"

#include "browser/posts/PostStatements.h"
#include "browser/rooms/PostCommandTexts.h"
#include "common/Codec.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

CMovePostDialog::CMovePostDialog(QWidget *parent)
    : QDialog(parent)
{
    using namespace PostCommandText;
    setWindowTitle(QString::fromUtf8(MoveTitle));
    posts_ = new QTreeWidget(this);
    posts_->setRootIsDecorated(false);
    posts_->setSelectionMode(QAbstractItemView::NoSelection);
    posts_->setHeaderLabels(
            {QString::fromUtf8(MoveTopicColumn), QString::fromUtf8(MoveRoomColumn)});
    posts_->setColumnWidth(0, 100);
    posts_->setColumnWidth(1, 210);
    posts_->header()->setStretchLastSection(false);
    tableValue_ = new QLabel(QString::fromUtf8(MoveNone), this);
    roomIdValue_ = new QLabel(QString::fromUtf8(MoveNone), this);
    targets_ = new QComboBox(this);
    targets_->setMinimumContentsLength(28);
    targets_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    accept_ = new QPushButton(QString::fromUtf8(MoveAccept), this);
    refuse_ = new QPushButton(QString::fromUtf8(MoveRefuse), this);
    accept_->setDefault(true);
    refuse_->setAutoDefault(false);
    connect(accept_, &QPushButton::clicked, this, &QDialog::accept);
    connect(refuse_, &QPushButton::clicked, this, &QDialog::reject);

    auto *details = new QGridLayout;
    details->addWidget(new QLabel(QString::fromUtf8(MoveTableLabel), this), 0, 0);
    details->addWidget(tableValue_, 0, 1);
    details->addWidget(new QLabel(QString::fromUtf8(MoveTargetLabel), this), 1, 0, 1, 2);
    details->addWidget(targets_, 2, 0, 1, 2);
    details->addWidget(new QLabel(QString::fromUtf8(MoveRoomIdLabel), this), 3, 0);
    details->addWidget(roomIdValue_, 3, 1);
    details->setColumnStretch(1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(accept_);
    buttons->addWidget(refuse_);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(posts_, 1);
    layout->addLayout(details);
    layout->addLayout(buttons);
    resize(360, 420);

    connect(targets_, &QComboBox::currentIndexChanged, this, &CMovePostDialog::TargetChanged);
}

void CMovePostDialog::AddPost(const std::string &topicid, const std::string &roomText)
{
    topicids_.push_back(topicid);
    roomTexts_.push_back(roomText);
}

void CMovePostDialog::AddTarget(const std::string &name, const std::string &roomid)
{
    targetNames_.push_back(name);
    targetIds_.push_back(roomid);
}

std::string CMovePostDialog::chosenRoomId() const
{
    return chosen_ >= 0 && std::size_t(chosen_) < targetIds_.size()
            ? targetIds_[std::size_t(chosen_)]
            : std::string();
}

std::string CMovePostDialog::chosenRoomName() const
{
    return chosen_ >= 0 && std::size_t(chosen_) < targetNames_.size()
            ? targetNames_[std::size_t(chosen_)]
            : std::string();
}

void CMovePostDialog::fill()
{
    filled_ = true;
    posts_->clear();
    for (std::size_t i = 0; i < topicids_.size(); ++i)
        posts_->addTopLevelItem(
                new QTreeWidgetItem({Gbk::toQString(topicids_[i]), Gbk::toQString(roomTexts_[i])}));
    tableValue_->setText(Gbk::toQString(table_));
    const QSignalBlocker blocker(targets_);
    targets_->clear();
    for (const std::string &name : targetNames_)
        targets_->addItem(Gbk::toQString(name));
    targets_->setCurrentIndex(targetNames_.empty() ? -1 : 0);
    TargetChanged(targets_->currentIndex());
}

void CMovePostDialog::TargetChanged(int index)
{
    chosen_ = index;
    roomIdValue_->setText(index >= 0 ? Gbk::toQString(RoomIdWithoutMarker(chosenRoomId()))
                                     : QString::fromUtf8(PostCommandText::MoveNone));
    accept_->setEnabled(index >= 0);
}

void CMovePostDialog::showEvent(QShowEvent *event)
{
    if (!filled_)
        fill();
    QDialog::showEvent(event);
}
