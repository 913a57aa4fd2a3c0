#pragma once

#include <QWidget>

#include <memory>
#include <string>
#include <vector>

class CImportDataSheet;
class CMessageListBox;
class CMessageOutput;
struct ImportSettings;
class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// Page "基本信息(必填)": where the posts come from and go to, the path check, and the
// message list and status line of the run.
class CImportDataBase : public QWidget
{
    Q_OBJECT
public:
    explicit CImportDataBase(QWidget *parent = nullptr);
    ~CImportDataBase() override;

    void SetSheet(CImportDataSheet *sheet) { sheet_ = sheet; }

    void ShowValues(const ImportSettings &settings);
    void ReadFields(ImportSettings &settings) const;

    // Texts are GBK.
    std::string ConnectionString() const;
    void SetConnectionString(const std::string &text);
    std::string ImportFolder() const;
    void SetImportFolder(const std::string &text);
    bool PathCheck() const;
    void SetPathCheck(bool on);

    // True when a message was shown and the import must not start.
    bool ValidatePage();
    void ChooseImportFolder();

    void AddMessage(const std::string &gbkText, bool toStatusLine);
    void AddMessages(const std::vector<std::string> &gbkLines);
    void SetProgress(const QString &text);

    CMessageListBox *messageList() const { return list_; }
    QLabel *statusLine() const { return status_; }
    QLabel *progressLine() const { return progress_; }
    QPlainTextEdit *connectionField() const { return connection_; }
    QPlainTextEdit *folderField() const { return folder_; }
    QCheckBox *pathCheckBox() const { return pathCheck_; }
    QPushButton *chooseFolderButton() const { return choose_; }
    QPushButton *clearButton() const { return clear_; }
    QPushButton *exportButton() const { return export_; }

private:
    bool fail(const char *text, QWidget *field);

    CImportDataSheet *sheet_ = nullptr;
    QPlainTextEdit *connection_;
    QPlainTextEdit *folder_;
    QPushButton *choose_;
    QCheckBox *pathCheck_;
    QPushButton *clear_;
    QPushButton *export_;
    CMessageListBox *list_;
    QLabel *status_;
    QLabel *progress_;
    std::unique_ptr<CMessageOutput> output_;
};
