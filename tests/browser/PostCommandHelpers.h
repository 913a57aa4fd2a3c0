#pragma once

// Driving the modal dialogs of the post commands in the GUI tests.

#include "browser/db/CAdoManager.h"
#include "browser/db/CAdoRecordset.h"
#include "browser/posts/CConfirmOperationDialog.h"
#include "browser/posts/CPostListView.h"
#include "common/UiSeam.h"

#include <QDialog>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <deque>
#include <functional>
#include <memory>
#include <string>

// Answers the coming modal dialogs in order, each shown for real first.
class ModalDriver
{
public:
    using Step = std::function<int(QDialog &)>;
    ModalDriver()
    {
        UiSeam::SetModalHandler([this](QDialog &dialog) {
            dialog.show();
            if (!QTest::qWaitForWindowExposed(&dialog) || steps_.empty()) {
                ++unexpected;
                return int(QDialog::Rejected);
            }
            const Step step = steps_.front();
            steps_.pop_front();
            ++shown;
            const int result = step(dialog);
            dialog.hide();
            return result;
        });
    }
    ~ModalDriver() { UiSeam::SetModalHandler({}); }
    void then(Step step) { steps_.push_back(std::move(step)); }
    int shown = 0;
    int unexpected = 0;

private:
    std::deque<Step> steps_;
};

// Clicks a button and gives back what the dialog ended with.
inline int click(QDialog &dialog, QPushButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton);
    return dialog.result();
}

inline int acceptConfirmation(QDialog &dialog)
{
    return click(dialog, static_cast<CConfirmOperationDialog &>(dialog).acceptButton());
}

inline QStringList confirmationItems(QDialog &dialog)
{
    const QListWidget *list = static_cast<CConfirmOperationDialog &>(dialog).list();
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}

// Selects the rows whose text in `column` is one of `texts`.
inline void selectRows(CPostListView *list, int column, const QStringList &texts)
{
    list->clearSelection();
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        if (texts.contains(list->topLevelItem(row)->text(column)))
            list->topLevelItem(row)->setSelected(true);
    }
}

inline long countOn(const std::string &connectionString, const std::string &from)
{
    CAdoManager ado;
    std::unique_ptr<CAdoRecordset> rs;
    if (ado.OpenAdoConnection(connectionString) != 0
        || ado.ExecuteSql("select count(*) as n from " + from, rs, CAdoManager::CommandText) != 0)
        return -1;
    long long n = -1;
    rs->Value("n").ToInt64(n);
    return long(n);
}
