#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QListWidget;
class QPushButton;

// "确认操作是否进行......": a message line above a list of items in text order; "退出"
// is the default button, so Enter refuses.
class CConfirmOperationDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CConfirmOperationDialog(QWidget *parent);

    // A message that is not empty discards the items so far and replaces the message;
    // then the item is appended. Callers pass the message with the first item only.
    void AddItem(const QString &item, const QString &message = QString());

    const QString &message() const { return message_; }
    const QStringList &items() const { return items_; }

    QLabel *messageLabel() const { return messageLabel_; }
    QListWidget *list() const { return list_; }
    QPushButton *acceptButton() const { return accept_; }
    QPushButton *refuseButton() const { return refuse_; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void fill();

    QString message_;
    QStringList items_;
    QLabel *messageLabel_;
    QListWidget *list_;
    QPushButton *accept_;
    QPushButton *refuse_;
};
