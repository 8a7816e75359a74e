#include "programming/ProgrammingSession.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "app/StationView.h"
#include "app/StatusLog.h"
#include "controller/ControllerCommands.h"

namespace {

constexpr std::string_view kExtension = ".xcfg";

// Opened as LoadXcfg opens it, so an import that passes here is one LoadXcfg can read.
bool CanOpenForReading(const std::string& path) {
    std::error_code error;
    if (path.empty() || std::filesystem::is_directory(path, error)) {
        return false;
    }
    std::ifstream probe(path, std::ios::binary);
    return probe.is_open();
}

}  // namespace

std::optional<std::string> ExportPathFor(std::string_view chosen) {
    const size_t separator = chosen.find_last_of("/\\");
    const size_t nameAt = separator == std::string_view::npos ? 0 : separator + 1;
    const std::string_view name = chosen.substr(nameAt);
    const size_t dot = name.rfind('.');
    // A path ending in a separator names no file; ".xcfg" appended would make the bare name
    // that is refused when typed.
    if (name.empty() || dot == 0) {
        return std::nullopt;
    }
    if (name.ends_with(kExtension)) {
        return std::string(chosen);
    }
    if (dot == std::string_view::npos) {
        return std::string(chosen) + std::string(kExtension);
    }
    return std::string(chosen.substr(0, nameAt + dot)) + std::string(kExtension);
}

std::string InitialXcfgName(const std::string& workingFolder) {
    return workingFolder + "/Config/" + std::string(kExtension);
}

ProgrammingSession::ProgrammingSession(ProgrammingBench bench, ProgrammingView& view,
                                       Prompter& prompter)
    : bench_(bench), view_(view), prompter_(prompter) {}

void ProgrammingSession::OnInitDialog() {
    importPath_.clear();
    for (const int button : programming::kActionButtons) {
        view_.EnableControl(button, false);
    }
    view_.EnableControl(ids::kFlashOfflineRadio, false);
    view_.SetControlText(ids::kFlashImportPath, "");
    view_.SetControlText(ids::kFlashExportPath, "");
    view_.ShowProgress(0);
    mode_ = 0;
    view_.CheckRadio(programming::kModeRadios[0]);
}

void ProgrammingSession::OnModeSelected(int mode) {
    if (mode < 0 || mode >= programming::kModeCount) {
        return;
    }
    mode_ = mode;
    if (!importPath_.empty()) {
        EnableActionButtonOf(mode_);
    }
}

void ProgrammingSession::OnImport() {
    const std::string path =
        prompter_.ChooseFileToOpen(programming::kFileFilter, InitialXcfgName(bench_.workingFolder));
    if (!CanOpenForReading(path)) {
        return;
    }
    view_.SetControlText(ids::kFlashImportPath, path);
    importPath_ = path;
    EnableActionButtonOf(mode_);
}

void ProgrammingSession::OnExport() {
    if (!bench_.controllerReady) {
        ShowNotice(programming::kControllerNotReady);
        return;
    }
    const std::string chosen =
        prompter_.ChooseFileToSave(programming::kFileFilter, InitialXcfgName(bench_.workingFolder));
    if (chosen.empty()) {
        return;
    }
    const std::optional<std::string> path = ExportPathFor(chosen);
    if (!path) {
        ShowNotice(programming::kEmptyFileName);
        return;
    }
    exportPath_ = *path;
    view_.SetControlText(ids::kFlashExportPath, exportPath_);
    const XcfgOutcome saved = SaveXcfg(exportPath_, bench_.controller, bench_.records);
    if (!saved.ok) {
        prompter_.ShowMessage(saved.message, "", MessageButtons::Ok, MessageIcon::None);
    }
}

void ProgrammingSession::OnProgramOnce() {
    if (!bench_.controllerReady) {
        ShowNotice(programming::kControllerNotReady);
        return;
    }
    view_.EnableControl(ids::kFlashProgramOnce, false);
    bench_.records.fileRecordCount = 0;
    bench_.records.programProgress = 0;
    view_.ShowProgress(0);

    const XcfgLoadResult loaded = LoadXcfg(importPath_, bench_.records);
    if (loaded.verdict != XcfgVerdict::Accepted) {
        prompter_.ShowMessage(loaded.message, "", MessageButtons::Ok, MessageIcon::None);
    } else {
        view_.SetTimer(timers::kFlashProgress, timers::kFlashProgressPeriodMs);
        const XcfgOutcome programmed =
            WriteChipConfiguration(bench_.controller, bench_.records,
                                   [this](int percent) { view_.ShowProgress(percent); });
        if (programmed.ok) {
            bench_.log.AppendLog(programming::kProgrammed, 1, 1);
        } else {
            prompter_.ShowMessage(programmed.message, "", MessageButtons::Ok, MessageIcon::None);
        }
    }
    view_.EnableControl(ids::kFlashProgramOnce, true);
}

void ProgrammingSession::OnTimer(int timerId) {
    if (timerId == timers::kFlashProgress) {
        view_.ShowProgress(bench_.records.programProgress);
    }
}

void ProgrammingSession::OnClose() {
    view_.KillTimer(timers::kFlashProgress);
}

void ProgrammingSession::EnableActionButtonOf(int mode) {
    for (int m = 0; m < programming::kModeCount; ++m) {
        view_.EnableControl(programming::kActionButtons[m], m == mode);
    }
}

void ProgrammingSession::ShowNotice(std::string_view text) {
    prompter_.ShowMessage(text, programming::kNoticeCaption, MessageButtons::Ok,
                          MessageIcon::Exclamation);
}
