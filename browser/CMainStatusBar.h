#pragma once

#include <QStatusBar>

class QLabel;
class QTimer;

// The four panes of the main window's status bar: 0 menu and toolbar prompts, 1 Caps
// Lock, 2 Num Lock, 3 the query status. Panes 0 to 2 keep their widths; pane 3 takes
// what is left.
class CMainStatusBar : public QStatusBar
{
    Q_OBJECT
public:
    explicit CMainStatusBar(QWidget *parent = nullptr);

    void SetPrompt(const QString &text); // empty: the idle text
    void SetQueryStatus(const QString &text);
    QLabel *pane(int index) const;

public Q_SLOTS:
    void UpdateLockKeys();

private:
    QLabel *panes_[4];
    QTimer *lockTimer_;
};
