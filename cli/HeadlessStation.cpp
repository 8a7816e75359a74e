#include "HeadlessStation.h"

#include <filesystem>
#include <system_error>

#include "link/BoardSource.h"

namespace {

std::string CurrentFolder() {
    std::error_code ignored;
    return std::filesystem::current_path(ignored).string();
}

}  // namespace

std::unique_ptr<HidBackend> ChooseBoard(CliContext& context, std::vector<std::string>& words) {
    std::string error;
    std::unique_ptr<HidBackend> backend = MakeBoardBackend(context.board, words, error);
    if (!backend) {
        context.err << "error: " << error << "\n";
    }
    return backend;
}

HeadlessStation::HeadlessStation(CliContext& context, HidBackend& backend)
    : view(context.err), station(view, backend, sleeper, CurrentFolder()), context_(context) {
    view.SetTimerHandler([this](int timerId) {
        station.OnTimer(timerId);
        bringUpRan_ = bringUpRan_ || timerId == timers::kBringUp;
    });
}

bool HeadlessStation::OpenBoard() {
    station.OnShowWindow();
    return view.RunUntil([this] { return station.link.connected.load(); }, kOpenTimeout);
}

BoardState HeadlessStation::BringUp() {
    if (!OpenBoard()) {
        return BoardState::NoBoard;
    }
    if (!view.RunUntil([this] { return bringUpRan_; }, kBringUpTimeout) || !station.linkOk) {
        return BoardState::NoLink;
    }
    return station.controllerReady ? BoardState::Ready : BoardState::NotReady;
}

bool HeadlessStation::WaitUntilReady(std::chrono::milliseconds timeout) {
    station.OnShowWindow();
    return view.RunUntil([this] { return station.controllerReady; }, timeout);
}

void HeadlessStation::RunPending() {
    view.RunUntil([] { return false; }, std::chrono::milliseconds(0));
}

void HeadlessStation::PrintLog(std::ostream& out) const {
    // The log's lines end in CR LF; a terminal wants LF.
    for (const char c : station.log.Text()) {
        if (c != '\r') {
            out << c;
        }
    }
}

int HeadlessStation::Fail(std::string_view reason) const {
    PrintLog(context_.err);
    context_.err << "error: " << reason << "\n";
    return cli_exit::kNoBoard;
}
