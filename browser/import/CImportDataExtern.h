#pragma once

#include <QWidget>

#include <array>

class CImportDataSheet;
class QGroupBox;
class QPlainTextEdit;
struct ImportSettings;

// Page "扩充字段": username, reply and createtime, each a group headed by a check box
// whose two marker fields are enabled exactly while the box is on.
class CImportDataExtern : public QWidget
{
    Q_OBJECT
public:
    enum Field { Username, Reply, Createtime };

    explicit CImportDataExtern(QWidget *parent = nullptr);

    void SetSheet(CImportDataSheet *sheet) { sheet_ = sheet; }

    void ShowValues(const ImportSettings &settings);
    void ReadFields(ImportSettings &settings) const;

    bool IsOn(Field field) const;
    void SetOn(Field field, bool on);
    QGroupBox *group(Field field) const { return groups_[field]; }
    QPlainTextEdit *startField(Field field) const { return starts_[field]; }
    QPlainTextEdit *endField(Field field) const { return ends_[field]; }

    // True when a message was shown and the import must not start.
    bool ValidatePage();

private:
    CImportDataSheet *sheet_ = nullptr;
    std::array<QGroupBox *, 3> groups_ {};
    std::array<QPlainTextEdit *, 3> starts_ {};
    std::array<QPlainTextEdit *, 3> ends_ {};
};
