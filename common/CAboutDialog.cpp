#include "CAboutDialog.h"

#include "common/AppFolders.h"
#include "common/Codec.h"
#include "common/CommonTexts.h"
#include "common/ProductVersion.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

CAboutDialog::CAboutDialog(QWidget *parent, const QString &title, const QString &text,
                           const QIcon &icon, const QString &copyright)
    : QDialog(parent)
    , version_(new QLabel(this))
{
    setWindowTitle(title);
    setWindowIcon(icon);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *iconLabel = new QLabel(this);
    iconLabel->setPixmap(icon.pixmap(48, 48));
    iconLabel->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto *textLabel = new QLabel(text, this);
    auto *versionCaption = new QLabel(QString::fromUtf8(CommonText::VersionLabel), this);
    ShowProductVersion(version_);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(QString::fromUtf8(CommonText::OkButton),
                                         QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto *layout = new QGridLayout(this);
    layout->addWidget(iconLabel, 0, 0, 3, 1);
    layout->addWidget(textLabel, 0, 1, 1, 2);
    layout->addWidget(versionCaption, 1, 1);
    layout->addWidget(version_, 1, 2);
    int row = 2;
    if (!copyright.isEmpty())
        layout->addWidget(new QLabel(copyright, this), row++, 1, 1, 2);
    // Which files the program uses depends on how it was installed: say where they are.
    folders_ = new QLabel(Gbk::toQString(AppFolders::DescribeFolders(AppFolders::CurrentLayout())),
                          this);
    folders_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(folders_, row++, 1, 1, 2);
    layout->addWidget(buttons, row, 0, 1, 3);
    layout->setColumnStretch(2, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void ShowProductVersion(QLabel *staticControl)
{
    if (staticControl)
        staticControl->setText(Gbk::toQString(FormatProductVersion()));
}
