#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/StationView.h"
#include "config/AdditionalParams.h"
#include "samples/SampleFiles.h"

class Station;

// Control IDs and timers of the sample organiser window ("整理样本").
namespace organiserids {
constexpr int kList = 1057;
constexpr int kButtonAcquire = ids::kButtonAcquireSample;  // "获取一个样本"
constexpr int kButtonAverage = 1061;                       // "生成平均样本"
constexpr int kButtonClear = 1060;                         // "清空列表"
constexpr int kButtonUse = 1078;                           // "使用选中样本"
constexpr int kButtonImport = 1064;                        // "导入样本文件"
constexpr int kButtonExport = 1062;                        // "导出样本文件"
constexpr int kSelectAll = 1079;                           // "全选" / "全部取消"
constexpr int kGroupStandard = 1065;                       // "设置测试标准"
constexpr int kRadioAbsolute = 1066;                       // "绝对偏差", method 0
constexpr int kRadioPercentage = 1067;                     // "偏差百分比", method 1
constexpr int kFieldAbsoluteNegative = 1068;
constexpr int kFieldAbsolutePositive = 1069;
constexpr int kFieldRelativeNegative = 1070;
constexpr int kFieldRelativePositive = 1071;
// The controls of each method's row, labels included; only the current method's is enabled.
constexpr std::array<int, 4> kAbsoluteRow = {1072, kFieldAbsoluteNegative, 1073,
                                             kFieldAbsolutePositive};
constexpr std::array<int, 6> kPercentageRow = {1074, kFieldRelativeNegative, 1075,
                                               1076, kFieldRelativePositive, 1077};

constexpr int kLinkTimer = 10;         // "获取一个样本" follows linkOk
constexpr int kAcquisitionTimer = 11;  // waits for the main window's acquisition
constexpr int kTimerPeriodMs = 100;
}  // namespace organiserids

// The list's capacity: rows beyond it are refused, whatever NumberOfSamplesListMAX says.
constexpr size_t kMaxListedSamples = 32;
constexpr size_t kOrganiserColumns = 9;

// The nine column headings ("序号", "时间", "来源", "VAmax", "VAmin", "VAaver", "KEYmax",
// "KEYmin", "KEYaver") and widths in pixels (50, then 75 each).
extern const std::array<std::string_view, kOrganiserColumns> kOrganiserHeadings;
extern const std::array<int, kOrganiserColumns> kOrganiserColumnWidths;

// One row of the list view: its nine texts and its check box.
struct OrganiserRow {
    std::array<std::string, kOrganiserColumns> texts;
    bool checked = false;
};

// The nine texts of a row for record at list index: the index right-aligned in two
// characters, Time, the source's text, then VAmax, VAmin, VAaverage, KEYmax, KEYmin,
// KEYaverage in plain decimal.
std::array<std::string, kOrganiserColumns> OrganiserRowTexts(size_t index,
                                                             const SampleRecord& record);

// The export's name rule: ".ini" is appended unless the file name (without folder) ends in
// ".ini", compared case-sensitively (so "a.INI" becomes "a.INI.ini").
std::string WithSampleExtension(const std::string& path);

// The chooser's filter and initial name for import and export: <workingFolder>/Sample/.ini.
inline constexpr std::string_view kSampleFileFilter = "文本文件(*.ini)|*.ini||";
std::string SampleFileInitialName(const std::string& workingFolder);

// What the organiser asks of its window's controls. The window forwards the operator's
// clicks the other way, through the organiser's operations.
class SampleOrganiserForm {
public:
    virtual ~SampleOrganiserForm() = default;

    // Edit fields 1068..1071.
    virtual std::string FieldText(int fieldId) const = 0;
    virtual void SetFieldText(int fieldId, const std::string& text) = 0;
    // The checked method button: 0 (1066), 1 (1067), or -1 when neither is checked.
    virtual int CheckedMethod() const = 0;
    // Checks the button of method; any other value checks neither.
    virtual void CheckMethod(int method) = 0;
    // Buttons, the select-all box, labels and fields by ID.
    virtual void EnableControl(int controlId, bool enabled) = 0;
    // The select-all box's caption; its check state is the operator's.
    virtual void SetSelectAllCaption(std::string_view caption) = 0;
    // The list view follows SampleOrganiser::Rows() again.
    virtual void ShowRows() = 0;
    // The organiser's own timers 10 and 11; a tick calls SampleOrganiser::OnTimer(id).
    virtual void SetTimer(int timerId, int periodMs) = 0;
    virtual void KillTimer(int timerId) = 0;
};

// The sample organiser's decisions: the list of samples and their paths, every button, the
// select-all box, the deviation method, the test standard's fields and the parameters file.
// The list holds kMaxListedSamples paths; rows 0..RowCount()-1 form the list, rows after them
// stay in view after a full list until "清空列表". Messages and file choosers go through
// prompter (caption "提示", exclamation, OK); the main window's state and timer 4 through
// station. UI thread only; station, form and prompter must outlive the organiser.
class SampleOrganiser {
public:
    // Takes station's enableAcquireButton for "获取一个样本" until destroyed.
    SampleOrganiser(Station& station, SampleOrganiserForm& form, Prompter& prompter);
    ~SampleOrganiser();
    SampleOrganiser(const SampleOrganiser&) = delete;
    SampleOrganiser& operator=(const SampleOrganiser&) = delete;

    // The window's creation: the parameters file read (a file that cannot be opened is
    // reported and leaves method 1, all deviations 0 and an empty list capacity), the rows of
    // the current method enabled, timer 10 started, 1061, 1060, 1064 and 1062 enabled and
    // 1079 disabled, the values shown.
    void Initialise();

    // Timer 10: "获取一个样本" follows linkOk. Timer 11: once the main window has finished
    // the acquisition, its sample becomes a row (none when it wrote no sample).
    void OnTimer(int timerId);

    // "获取一个样本". A full list (row count at NumberOfSamplesListMAX or at the capacity):
    // "列表已满，请清空！", 1063 disabled, row count 0 with the rows left in view. Otherwise
    // timer 10 stopped, 1063 disabled, the main window's timer 4 armed, sampleRequested set,
    // timer 11 started. Both ways 1061 and 1079 are enabled.
    void Acquire();
    // "生成平均样本": the average of the checked rows (at least three) as a new row.
    void Average();
    // "清空列表": every row removed, 1061 and 1079 disabled, every *.ini file of the temporary
    // sample folder deleted (a failure is reported), every path emptied; "获取一个样本"
    // enabled again when linkOk and no acquisition is under way.
    void Clear();
    // "使用选中样本": with the fields valid, a configuration loaded and exactly one checked
    // row, that sample's limits derived and written to the limit files, configValid set,
    // "配置文件正确" logged and Start enabled when the controller is up. A sample that cannot
    // be read leaves the limits and configValid as they were.
    void UseChecked();
    // "导入样本文件": the chosen file's header as a new row; a file that cannot be read is
    // reported and adds nothing.
    void Import();
    // "导出样本文件": each checked row copied to a file the operator chooses (".ini" rule),
    // then unchecked.
    void Export();
    // "全选" became checked (all rows of the list checked, caption "全部取消") or unchecked
    // (all unchecked, caption "全选").
    void SelectAll(bool checked);
    // 1066 (method 0) or 1067 (1): the method, and the rows enabled to match.
    void ChooseMethod(int method);
    // The operator's check box of row (any row in view; out of range does nothing).
    void SetRowChecked(size_t row, bool checked);
    // Closing the window: the fields read, the parameters file written (a failure is
    // reported), the values shown, timer 10 stopped. The window then hides; the list stays.
    void Close();
    // The hidden window shown again: unless an acquisition is under way, timer 10 runs again,
    // so "获取一个样本" follows linkOk once more (a window first closed while the board was
    // away would otherwise keep the button dead).
    void Reshow();

    // Reads the method and fields 1068..1071 into the test standard in that order. A text
    // that is no number (for 1070 and 1071 also above 255) keeps the previous value; a
    // number outside its field's range (1068 0..20000, 1070 and 1071 0..100) is taken. Either
    // way the prompt is shown and the fields after it are not read. Returns false after a
    // prompt.
    bool ReadFields();
    // Shows the method and the four deviations.
    void ShowFields();

    const std::vector<OrganiserRow>& Rows() const { return rows_; }
    size_t RowCount() const { return rowCount_; }
    const std::string& SamplePath(size_t row) const { return samplePaths_.at(row); }
    const AdditionalParams& Params() const { return params_; }
    TestStandard Standard() const;
    const SampleMatrix& AverageMatrix() const { return average_; }
    bool AcquisitionPending() const { return acquisitionPending_; }

private:
    void PutCheckedToUse();
    bool HasRoom();
    void AddRow(const SampleRecord& record);
    std::vector<size_t> CheckedRows() const;
    void EnableMethodRows();
    void Warn(std::string_view text);
    SampleFolders Folders() const;

    Station& station_;
    SampleOrganiserForm& form_;
    Prompter& prompter_;
    // The test standard and list numbers; before the file is read: method 1, all zero.
    AdditionalParams params_;
    std::vector<OrganiserRow> rows_;
    std::array<std::string, kMaxListedSamples> samplePaths_{};
    size_t rowCount_ = 0;
    SampleMatrix average_{};
    bool acquisitionPending_ = false;
};
