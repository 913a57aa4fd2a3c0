#pragma once

#include <QDialog>

class QLineEdit;

// The selected room's id, name and post table, read-only; closed with Escape or the
// close box.
class CRoomPropertiesDialog : public QDialog
{
    Q_OBJECT
public:
    CRoomPropertiesDialog(QWidget *parent, const QString &roomid, const QString &roomname,
                          const QString &table);

    QString roomidText() const;
    QString roomnameText() const;
    QString tableText() const;

private:
    QLineEdit *roomid_;
    QLineEdit *roomname_;
    QLineEdit *table_;
};
