#pragma once

#include <QDialog>
#include <QIcon>

class QLabel;

// The About box of the three programs; each passes its own title and texts.
class CAboutDialog : public QDialog
{
    Q_OBJECT
public:
    CAboutDialog(QWidget *parent, const QString &title, const QString &text, const QIcon &icon,
                 const QString &copyright = QString());

    QLabel *versionLabel() const { return version_; }
    QLabel *foldersLabel() const { return folders_; }

private:
    QLabel *version_;
    QLabel *folders_ = nullptr;
};

// Sets the version text of an About box: "产品版本:major.minor".
void ShowProductVersion(QLabel *staticControl);
