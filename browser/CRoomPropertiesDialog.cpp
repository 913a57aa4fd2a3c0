#include "CRoomPropertiesDialog.h"

#include "browser/ShellTexts.h"

#include <QFormLayout>
#include <QLineEdit>

namespace {
QLineEdit *readOnlyField(const QString &text, QWidget *parent)
{
    auto *field = new QLineEdit(text, parent);
    field->setReadOnly(true);
    field->setMinimumWidth(260);
    field->setCursorPosition(0);
    return field;
}
} // namespace

CRoomPropertiesDialog::CRoomPropertiesDialog(QWidget *parent, const QString &roomid,
                                             const QString &roomname, const QString &table)
    : QDialog(parent)
    , roomid_(readOnlyField(roomid, this))
    , roomname_(readOnlyField(roomname, this))
    , table_(readOnlyField(table, this))
{
    setWindowTitle(QString::fromUtf8(KestrelText::RoomPropertiesTitle));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto *form = new QFormLayout(this);
    form->addRow(QString::fromUtf8(KestrelText::RoomIdLabel), roomid_);
    form->addRow(QString::fromUtf8(KestrelText::RoomNameLabel), roomname_);
    form->addRow(QString::fromUtf8(KestrelText::RoomTableLabel), table_);
}

QString CRoomPropertiesDialog::roomidText() const
{
    return roomid_->text();
}
QString CRoomPropertiesDialog::roomnameText() const
{
    return roomname_->text();
}
QString CRoomPropertiesDialog::tableText() const
{
    return table_->text();
}
