#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "programming/Xcfg.h"

class ControllerCommands;
class Prompter;
class StatusLog;

// Control IDs of the programming window "烧录文件".
namespace ids {
constexpr int kFlashImportPath = 1150;        // edit showing importPath
constexpr int kFlashExportPath = 1151;        // edit showing exportPath
constexpr int kFlashImportButton = 1152;      // "导入文件"
constexpr int kFlashExportButton = 1153;      // "导出文件"
constexpr int kFlashProgress = 1154;          // progress bar, 0..100
constexpr int kFlashManualRadio = 1155;       // "手动", mode 0
constexpr int kFlashContinuousRadio = 1156;   // "自动连续", mode 1
constexpr int kFlashOfflineRadio = 1157;      // "脱机", mode 2, always disabled
constexpr int kFlashProgramOnce = 1158;       // "执行一次烧录", action of mode 0
constexpr int kFlashStartProgramming = 1159;  // "开始烧录", action of mode 1, no action
constexpr int kFlashUpdateBoardFile = 1160;  // "更新主板烧录文件", action of mode 2, no action
constexpr int kFlashFileGroup = 1161;        // "文件操作"
constexpr int kFlashModeGroup = 1162;        // "烧录方式"
}  // namespace ids

namespace timers {
// The programming window's progress timer: copies programProgress into the bar.
constexpr int kFlashProgress = 20;
constexpr int kFlashProgressPeriodMs = 10;
}  // namespace timers

namespace programming {
constexpr int kModeCount = 3;
// The mode radios and the action buttons, indexed by mode.
constexpr std::array<int, kModeCount> kModeRadios = {
    ids::kFlashManualRadio, ids::kFlashContinuousRadio, ids::kFlashOfflineRadio};
constexpr std::array<int, kModeCount> kActionButtons = {
    ids::kFlashProgramOnce, ids::kFlashStartProgramming, ids::kFlashUpdateBoardFile};

constexpr std::string_view kFileFilter = "烧录文件(*.xcfg)|*.xcfg||";
constexpr std::string_view kEmptyFileName = "文件名不能为空！";
constexpr std::string_view kNoticeCaption = "提示";
constexpr std::string_view kProgrammed = "更新烧录文件成功";
// The controller has not been brought up (or its board went away): its table is unknown.
constexpr std::string_view kControllerNotReady = "控制器未就绪！";
}  // namespace programming

// The name an export saves under, from the path the save chooser gave. The name is the part
// after the last "/" or "\"; a name ending in ".xcfg" (case counts) is kept, a name without a
// dot gets ".xcfg" appended, any other extension is replaced by ".xcfg". Empty (nothing is
// saved, "文件名不能为空！") when the name is empty or its last dot is its first character.
std::optional<std::string> ExportPathFor(std::string_view chosen);

// The initial name of both choosers: the empty name ".xcfg" in "Config" below workingFolder.
std::string InitialXcfgName(const std::string& workingFolder);

// What the programming window must do on the core's behalf. UI thread.
class ProgrammingView {
public:
    virtual ~ProgrammingView() = default;
    virtual void EnableControl(int controlId, bool enabled) = 0;
    // Checks one mode radio; the group unchecks the others.
    virtual void CheckRadio(int controlId) = 0;
    // The text of an edit (importPath, exportPath), UTF-8.
    virtual void SetControlText(int controlId, std::string_view text) = 0;
    // Puts the bar at percent (0..100) and shows it before returning: it is also called
    // between records while programming holds the UI thread.
    virtual void ShowProgress(int percent) = 0;
    virtual void SetTimer(int timerId, int periodMs) = 0;
    virtual void KillTimer(int timerId) = 0;
};

// The station's state the programming window works on; every reference must outlive the
// session. UI thread.
struct ProgrammingBench {
    const std::string& workingFolder;
    ControllerCommands& controller;
    ConfigRecordSets& records;
    StatusLog& log;
    // The bring-up has finished and the board is still there; nothing is read from or
    // written to the controller otherwise.
    const bool& controllerReady;
};

// The decisions of the programming window "烧录文件": its initial state, the mode radios,
// import, export and programming once, with their messages. The window forwards its events
// here and shows what it is told. UI thread; export and programming block it while they talk
// to the controller.
class ProgrammingSession {
public:
    ProgrammingSession(ProgrammingBench bench, ProgrammingView& view, Prompter& prompter);

    // importPath empty, the three action buttons and the offline radio disabled, the bar at
    // 0, the radio of mode 0 checked, both edits empty.
    void OnInitDialog();

    // A mode radio (mode 0..2): the mode changes; with a file imported its action button is
    // enabled and the other two disabled, otherwise the buttons stay as they are. A mode
    // outside 0..2 is ignored.
    void OnModeSelected(int mode);

    // "导入文件": the open chooser; a confirmed path of a file that can be opened for reading
    // becomes importPath and enables the current mode's action button only. A cancelled or
    // unreadable choice changes nothing. The file's contents are checked when programming.
    void OnImport();

    // "导出文件": the save chooser; the name fixed by ExportPathFor becomes exportPath and the
    // controller's configuration is saved there (SaveXcfg). Failures are shown in a message
    // box: "文件名不能为空！" (caption "提示", warning), "控制器未就绪！", or SaveXcfg's text.
    void OnExport();

    // "执行一次烧录": 1158 disabled while it runs; fileRecordCount, programProgress and the bar
    // back to 0; LoadXcfg(importPath). A file that is not accepted shows its verdict's
    // message and nothing reaches the controller. An accepted one arms timer 20 and is
    // programmed (WriteChipConfiguration, the bar following record by record); success logs
    // "更新烧录文件成功" with time stamp, a failure shows its message instead.
    void OnProgramOnce();

    // Timer 20: the bar shows programProgress.
    void OnTimer(int timerId);
    // The window closes: timer 20 stops.
    void OnClose();

    const std::string& importPath() const { return importPath_; }
    const std::string& exportPath() const { return exportPath_; }
    int mode() const { return mode_; }

private:
    void EnableActionButtonOf(int mode);
    void ShowNotice(std::string_view text);

    ProgrammingBench bench_;
    ProgrammingView& view_;
    Prompter& prompter_;
    std::string importPath_;
    std::string exportPath_;
    int mode_ = 0;
};
