#include "CConfirmOperationDialog.h"

#include "browser/rooms/PostCommandTexts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

CConfirmOperationDialog::CConfirmOperationDialog(QWidget *parent)
    : QDialog(parent)
{
    using namespace PostCommandText;
    setWindowTitle(QString::fromUtf8(ConfirmTitle));
    messageLabel_ = new QLabel(QString::fromUtf8(ConfirmPlaceholder), this);
    messageLabel_->setWordWrap(true);
    list_ = new QListWidget(this);
    list_->setSortingEnabled(true); // text order, as the items are, not selection order
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    accept_ = new QPushButton(QString::fromUtf8(Accept), this);
    refuse_ = new QPushButton(QString::fromUtf8(Refuse), this);
    accept_->setAutoDefault(false);
    refuse_->setDefault(true);
    connect(accept_, &QPushButton::clicked, this, &QDialog::accept);
    connect(refuse_, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(accept_);
    buttons->addWidget(refuse_);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(messageLabel_);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);
    resize(520, 360);
}

void CConfirmOperationDialog::AddItem(const QString &item, const QString &message)
{
    if (!message.isEmpty()) {
        items_.clear();
        message_ = message;
    }
    items_.append(item);
}

void CConfirmOperationDialog::fill()
{
    messageLabel_->setText(
            message_.isEmpty() ? QString::fromUtf8(PostCommandText::ConfirmPlaceholder) : message_);
    list_->clear();
    list_->addItems(items_);
    refuse_->setFocus();
}

void CConfirmOperationDialog::showEvent(QShowEvent *event)
{
    fill();
    QDialog::showEvent(event);
}
