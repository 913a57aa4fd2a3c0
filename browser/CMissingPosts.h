#pragma once

#include "browser/gaps/GapScan.h"

#include <QDialog>
#include <QObject>

class CKestrelCommands;
class CLeftTreeView;
class QLabel;
class QPushButton;
class QWidget;

// What the check found for one top-level room: the counts, and a button to write the
// download list of the missing posts.
class CMissingPostsDialog : public QDialog
{
    Q_OBJECT
public:
    CMissingPostsDialog(QWidget *parent, const QString &roomName, const QString &table,
                        const GapScanResult &result);

    QStringList lines() const;
    QPushButton *writeListButton() const { return writeList_; }

Q_SIGNALS:
    void writeListRequested();

private:
    QList<QLabel *> lines_;
    QPushButton *writeList_;
};

// "检查缺少的帖子...": checks the selected room's top-level table over the IDs of its
// post location entries, shows the counts, and writes the list when asked.
class CMissingPosts : public QObject
{
    Q_OBJECT
public:
    CMissingPosts(QWidget *window, const CKestrelCommands &commands, CLeftTreeView *tree);

    void CheckSelectedRoom();

private:
    void writeList(const GapScanRequest &request, const GapScanResult &found);

    QWidget *window_;
    CLeftTreeView *tree_;
};
