#pragma once

#include "classifier/CClassifier.h"
#include "classifier/CThreadedObserver.h"
#include "classifier/ClassifierSettings.h"

#include <QDialog>
#include <QPointer>

class CMessageListBox;
class CSorrelDlgAutoProxy;
class QButtonGroup;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QThread;
class QTimer;
class QToolButton;

// Sorrel's one window: the settings of a classification run, the two progress lines,
// the message list and the commands. Runs go to a worker thread, so the window keeps
// painting its progress and can stop a run.
class CSorrelDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CSorrelDlg(QWidget *parent = nullptr);
    ~CSorrelDlg() override;

    QLineEdit *inputEdit() const { return input_; }
    QLineEdit *patternEdit() const { return pattern_; }
    QLineEdit *outputEdit() const { return output_; }
    QLineEdit *markerEdit(int index) const
    {
        return markers_[index];
    } // name start, end, id start, end
    QLineEdit *sequenceStartEdit() const { return sequenceStart_; }
    QButtonGroup *folderGroup() const { return folderMethod_; }
    QButtonGroup *namingGroup() const { return namingRule_; }
    QButtonGroup *transferGroup() const { return transferMethod_; }
    QLabel *outputFileLine() const { return outputFile_; }
    QLabel *sourceFileLine() const { return sourceFile_; }
    QLabel *progressLine() const { return progress_; }
    CMessageListBox *messageList() const { return messages_; }
    QPushButton *startButton() const { return start_; }
    QPushButton *extractButton() const { return extract_; }
    QMenu *systemMenu() const { return systemMenu_; }
    bool isRunning() const { return worker_ != nullptr; }
    const CClassifier &classifier() const { return classifier_; }

    // The automation object attached by a client, or none.
    void SetAutoProxy(CSorrelDlgAutoProxy *proxy);
    CSorrelDlgAutoProxy *AutoProxy() const;

public Q_SLOTS:
    void StartClassification();
    void ExtractConversionFile();
    void ShowAbout();
    // Escape, the close box and the window menu: ends the program unless a client of
    // the automation object keeps it running, then only hides the window.
    void reject() override;
    // The client released the automation object.
    void OnAutoProxyReleased();

Q_SIGNALS:
    void runFinished();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    QWidget *buildSettings();
    QWidget *buildChoices();
    bool readSettings(ClassifierSettings &settings);
    void showSettings(const ClassifierSettings &settings);
    void startRun(bool extraction);
    void takeProgress();
    void onWorkerFinished();
    void setRunning(QPushButton *runButton);

    CClassifier classifier_;
    CThreadedObserver observer_;
    QThread *worker_ = nullptr;
    QPushButton *runButton_ = nullptr;
    bool closeAfterRun_ = false;
    QPointer<CSorrelDlgAutoProxy> autoProxy_;

    QLineEdit *input_;
    QLineEdit *pattern_;
    QLineEdit *output_;
    QLineEdit *markers_[4];
    QLineEdit *sequenceStart_;
    QButtonGroup *folderMethod_;
    QButtonGroup *namingRule_;
    QButtonGroup *transferMethod_;
    QWidget *settingsArea_;
    QLabel *outputFile_;
    QLabel *sourceFile_;
    QLabel *progress_;
    CMessageListBox *messages_;
    QPushButton *start_;
    QPushButton *extract_;
    QPushButton *clear_;
    QPushButton *export_;
    QToolButton *menuButton_;
    QMenu *systemMenu_;
    QTimer *progressTimer_;
};

// The icon of the program, from the resources.
QIcon SorrelIcon();
