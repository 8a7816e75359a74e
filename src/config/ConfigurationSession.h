#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/StationView.h"
#include "app/StatusLog.h"
#include "config/TestConfig.h"
#include "config/WorkingConfig.h"

// Control IDs of the configuration window ("配置参数") and of the multi-key window
// ("定义多行按键").
namespace configids {
constexpr int kFieldXCount = 1026;  // "X有效通道数量="
constexpr int kFieldYCount = 1027;  // "Y有效通道数量="
constexpr int kFieldVaMin = 1028;   // "可视区合格下限="
constexpr int kFieldVaMax = 1029;   // "可视区合格上限="
constexpr int kFieldKeyMin = 1030;  // "按键区合格下限="
constexpr int kFieldKeyMax = 1031;  // "按键区合格上限="
constexpr int kListDisplayX = 1032;
constexpr int kListDisplayY = 1036;
constexpr int kListVaX = 1038;
constexpr int kListVaY = 1040;
constexpr int kListKeyX = 1042;
constexpr int kListKeyY = 1044;
constexpr int kButtonImport = 1051;     // "导入配置"
constexpr int kButtonExport = 1052;     // "导出配置"
constexpr int kRadioLimits = 1054;      // "测试值上下限范围", criterion 0
constexpr int kRadioSample = 1055;      // "样本偏差", criterion 1
constexpr int kButtonMultiKeys = 1059;  // "定义多行按键"

constexpr int kMultiKeyGrid = 1080;
constexpr int kMultiKeyFirstColumnLabel = 1081;  // 1081..1088
constexpr int kMultiKeyFirstRowLabel = 1089;     // 1089..1096
constexpr int kMultiKeyInstruction = 1097;
}  // namespace configids

// Items of a channel list: channels 0..31 in the X lists, 0..51 in the Y lists.
constexpr size_t kXListItems = 32;
constexpr size_t kYListItems = 52;
// The six lists in the order their items are inserted.
constexpr int kChannelLists[] = {configids::kListDisplayX, configids::kListVaX,
                                 configids::kListKeyX,     configids::kListDisplayY,
                                 configids::kListVaY,      configids::kListKeyY};
// 32 for an X list, 52 for a Y list (and for any other ID).
size_t ChannelListItems(int listId);

// The text of a channel in a list or label: axis, then the number right-aligned in two
// characters ("X 5", "Y51"); only the last two digits of a larger number.
std::string ChannelItemText(char axis, unsigned channel);

// The file chooser's filter and initial name for import and export.
inline constexpr std::string_view kConfigFileFilter = "文本文件(*.txt)|*.txt||";
std::string ConfigFileInitialName(const std::string& workingFolder);

// The export's name rule: ".txt" is appended unless the file name (without folder) ends in
// ".txt", compared case-sensitively (so "a.TXT" becomes "a.TXT.txt").
std::string WithTextExtension(const std::string& path);

// The main window's state and services that the configuration window works on. Every
// reference must outlive the session. UI thread only.
struct ConfigurationHost {
    TestConfig& live;
    ConfigState& state;  // configValid, config_file_path, error_line, Criterion
    StatusLog& log;
    const bool& linkOk;
    StationView& mainWindow;    // Start (1003), "整理样本" (32780), RebuildGrid
    std::string workingFolder;  // parent of Config/, UTF-8
    // The live record came whole from an accepted import or an export's apply, so it may be
    // tested with. A rejected import leaves it half written; start-up leaves it unset.
    bool& liveConfigComplete;
};

// What the session asks of the configuration window's controls. The window forwards the
// operator's edits the other way: list check changes through SetItemChecked, the buttons
// through the operations below; field texts are pulled when the window is read.
class ConfigurationForm {
public:
    virtual ~ConfigurationForm() = default;

    // Edit fields 1026..1031.
    virtual std::string FieldText(int fieldId) const = 0;
    virtual void SetFieldText(int fieldId, const std::string& text) = 0;
    virtual void FocusField(int fieldId) = 0;
    // The checked criterion button: 0 (1054), 1 (1055), or -1 when neither is checked.
    virtual int CheckedCriterion() const = 0;
    // Checks the button of index criterion; any other value checks neither.
    virtual void CheckCriterion(int criterion) = 0;
    // Sets a check box of a channel list without reporting it back.
    virtual void SetItemChecked(int listId, size_t item, bool checked) = 0;
    virtual void EnableButton(int buttonId, bool enabled) = 0;
};

// The configuration window's decisions: the working copy, reading and writing the window,
// import, export, apply, the change test, validation, the criterion buttons, the key lists
// and the closing procedure. Message boxes and file choosers go through prompter (the
// configuration window's own); the main window is reached only through host. UI thread.
class ConfigurationSession {
public:
    ConfigurationSession(ConfigurationHost host, ConfigurationForm& form, Prompter& prompter);

    // The opening steps: a blank working copy whatever the live record holds; "Criterion"
    // from the additional-parameters file into the working criterion and the main window's
    // Criterion (0 greys "整理样本", 1 enables it); button 1059 disabled.
    void Open();

    // Reads fields 1030, 1031, 1026, 1027, 1028, 1029, then the radio group, into the working
    // copy. A text that is no unsigned decimal number keeps the previous value and prompts
    // "“请填入一个正整数。”" (limits) or "“请填入一个在0和255之间的整数。”" (channel counts,
    // also above 255); a number outside the field's entry range is taken and then prompts
    // "“请填入一个在A和B之间的整数。”". A prompt (exclamation, OK, application caption)
    // focuses its field and ends the reading there. Returns false when a prompt was shown.
    // With neither radio button checked the working criterion is kept.
    bool ReadWindow();
    // Shows the six numbers in decimal and checks the criterion's radio button.
    void WriteWindow();

    // Button 1051. A cancelled chooser or a file that cannot be read does nothing. Accepted:
    // the window shows the live record. Rejected: configValid cleared, Start disabled, the
    // line logged ("配置文件错误>_<," and "位置在第NN行。") and shown ("配置错误", stop); the
    // fields stay as they were. Either way the live record holds what the load stored.
    void Import();
    // Button 1052: validation, the save-as chooser, the ".txt" rule, the file written from
    // the working copy, then Apply. Returns true when the working copy was applied; false
    // after an invalid copy, a cancelled chooser or a file that could not be written (which
    // also leaves the working path as it was).
    bool Export();
    // The working copy into the live record; X entries 32..51 of the live record stay.
    void Apply();
    // Reads the window and compares counts, limits, the list check states and the multi-key
    // changed flag with the live record; writes the working copy back. True when it differs.
    bool DiffersFromLive();
    // Reads the window and checks counts and limits; the first failing rule is shown
    // ("配置错误", stop). Writes the working copy back. Returns and remembers the outcome.
    bool Validate();

    // Buttons 1054 (criterion 0) and 1055 (1): at once the working criterion and the main
    // window's Criterion, "整理样本" greyed or enabled, configValid cleared and Start disabled.
    void ChooseCriterion(int criterion);

    // The operator changed a check box of a channel list. A key list's change recounts its
    // key channels and enables 1059 while both counts are at least 2.
    void SetItemChecked(int listId, size_t item, bool checked);

    // The close box. Valid copy: the save question when it differs (OK exports), then
    // config_file_path, configValid with "配置文件正确" when judging by limits and the live
    // record is complete, the judging basis logged, Start enabled when configValid and
    // linkOk, the grid rebuilt; returns true. Invalid copy: the go-on question; Cancel
    // returns true (nothing applied), OK false. "Criterion" is written to the
    // additional-parameters file in every case.
    bool Close();
    // The Enter key: true (end the window, nothing applied) when reading showed no prompt.
    bool EndOnEnter() { return ReadWindow(); }

    WorkingConfig& Working() { return working_; }
    const WorkingConfig& Working() const { return working_; }

private:
    TestConfig::ChannelFlags* ListFlags(int listId);
    void SetListFromLive(int listId, const TestConfig::ChannelFlags& flags, size_t items);
    void RecountKeys();
    bool ShowValidationError(const std::string& text);
    // The working copy as a record: X entries 32..51 0, key numbers from the key counts.
    TestConfig WorkingRecord() const;
    void ClearConfigValid();

    ConfigurationHost host_;
    ConfigurationForm& form_;
    Prompter& prompter_;
    WorkingConfig working_;
};
