#pragma once

#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

class CImportDataSheet;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
struct ImportSettings;

// Page "基本字段(必填)": the preset list, the file name pattern, the post table, how
// roomid, topicid and title are obtained, and the two duplicate checks.
class CImportDataList : public QWidget
{
    Q_OBJECT
public:
    explicit CImportDataList(QWidget *parent = nullptr);
    ~CImportDataList() override;

    void SetSheet(CImportDataSheet *sheet) { sheet_ = sheet; }

    // Field values (texts GBK). A mode outside the radio buttons is kept as it is
    // and shows no button chosen.
    int RoomidMode() const { return roomidMode_; }
    void SetRoomidMode(int mode);
    int TopicidMode() const { return topicidMode_; }
    void SetTopicidMode(int mode);
    int TitleMode() const { return titleMode_; }
    void SetTitleMode(int mode);
    // The auto-grow field as a 32-bit number (typed signed, or unsigned up to 4294967295,
    // as it is shown); nullopt when it holds none.
    std::optional<std::int32_t> AutogrowStart() const;
    void SetAutogrowStart(std::int64_t value);

    // Enabling of the marker fields by mode; modes without a rule change nothing.
    void EnableRoomidMarkers(int mode);
    void EnableAutogrow(int topicidMode);
    void EnableTitleMarkers(int titleMode);

    // Selected-room mode: roomid mode 2 with the room's roomid, the room's table,
    // both read-only, and only the radio button of mode 2 enabled.
    void LockToRoom(const std::string &roomid, const std::string &table);

    void ShowValues(const ImportSettings &settings);
    // The enabling that the three modes ask for (a preset's, or the defaults').
    void ApplyEnabling(const ImportSettings &settings);
    // Reads the fields; a non-number in the auto-grow field shows "请键入一个整数。",
    // keeps the value it had and returns false (quietly with complain false).
    bool ReadFields(ImportSettings &settings, bool complain = true);
    // Reads the fields; true when a message was shown and the import must not start.
    bool ValidatePage(ImportSettings &settings);

    QComboBox *presetList() const { return presets_; }
    QLineEdit *patternField() const { return pattern_; }
    QLineEdit *tableField() const { return table_; }
    QCheckBox *checkTopicidBox() const { return checkTopicid_; }
    QCheckBox *checkTitleBox() const { return checkTitle_; }
    QPlainTextEdit *roomidStartField() const { return roomidStart_; }
    QPlainTextEdit *roomidEndField() const { return roomidEnd_; }
    QRadioButton *roomidRadio(int mode) const { return roomidRadios_[std::size_t(mode)]; }
    QRadioButton *topicidRadio(int mode) const { return topicidRadios_[std::size_t(mode)]; }
    QLineEdit *autogrowField() const { return autogrow_; }
    QPushButton *findUniqueButton() const { return findUnique_; }
    QRadioButton *titleRadio(int mode) const { return titleRadios_[std::size_t(mode)]; }
    QPlainTextEdit *titleStartField() const { return titleStart_; }
    QPlainTextEdit *titleEndField() const { return titleEnd_; }

Q_SIGNALS:
    void presetChosen(int entry);
    void findUniqueRequested();

private:
    bool fail(const char *text, QWidget *field);

    CImportDataSheet *sheet_ = nullptr;
    QComboBox *presets_;
    QLineEdit *pattern_;
    QLineEdit *table_;
    QCheckBox *checkTopicid_;
    QCheckBox *checkTitle_;
    QPlainTextEdit *roomidStart_;
    QPlainTextEdit *roomidEnd_;
    std::array<QRadioButton *, 5> roomidRadios_ {};
    QButtonGroup *roomidGroup_;
    std::array<QRadioButton *, 2> topicidRadios_ {};
    QButtonGroup *topicidGroup_;
    QLineEdit *autogrow_;
    QPushButton *findUnique_;
    std::array<QRadioButton *, 2> titleRadios_ {};
    QButtonGroup *titleGroup_;
    QPlainTextEdit *titleStart_;
    QPlainTextEdit *titleEnd_;
    int roomidMode_ = 0;
    int topicidMode_ = 1;
    int titleMode_ = 0;
};
