#pragma once

#include "urllist/ServerSetting.h"
#include "urllist/UrlListGeneration.h"
#include "urllist/UrlTemplateTable.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolButton;

// Garnet's one window: the line format, template, ID range and output path of a
// download list, and the button that writes it.
class CGarnetDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CGarnetDlg(QWidget *parent = nullptr);

    QLineEdit *outputPathEdit() const { return outputPath_; }
    QComboBox *formatList() const { return format_; }
    QLineEdit *templateEdit() const { return template_; }
    QLineEdit *firstIdEdit() const { return firstId_; }
    QLineEdit *lastIdEdit() const { return lastId_; }
    QPushButton *generateButton() const { return generate_; }
    // Only the IDs the archive of that configuration file lacks.
    QCheckBox *missingOnlyBox() const { return missingOnly_; }
    QLineEdit *archiveConfigEdit() const { return archiveConfig_; }
    QToolButton *menuButton() const { return menuButton_; }
    // Stands in for the window's system menu, which Qt does not offer.
    QMenu *systemMenu() const { return systemMenu_; }
    const UrlTemplateTable &templateTable() const { return table_; }

public Q_SLOTS:
    void GenerateUrlList();
    void OnFormatSelectionChange(int index);
    void ShowAbout();
    // Enter: checks the fields and closes the program when they are valid.
    void OnOK();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    bool readFields(UrlListRequest &request);
    bool readPostId(QLineEdit *field, std::int32_t &id);
    // Offers to create a missing output folder; false when the list cannot be written.
    bool ensureOutputFolder(const std::string &outputPath);
    void showSystemMenuAtButton();

    ServerSetting server_;
    UrlTemplateTable table_;
    bool reportedServer_ = false;

    QLineEdit *outputPath_;
    QComboBox *format_;
    QLineEdit *template_;
    QLineEdit *firstId_;
    QLineEdit *lastId_;
    QCheckBox *missingOnly_;
    QLineEdit *archiveConfig_;
    QPushButton *generate_;
    QToolButton *menuButton_;
    QMenu *systemMenu_;
};

// The icon of the program, from the resources.
QIcon GarnetIcon();
