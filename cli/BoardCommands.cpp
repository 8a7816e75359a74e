#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Cli.h"
#include "HeadlessView.h"
#include "app/Sleeper.h"
#include "app/Station.h"
#include "link/BoardSource.h"

namespace {

// Timer 2 opens the board within one or two ticks of 100 ms; this leaves room for a slow
// enumeration.
constexpr auto kOpenTimeout = std::chrono::seconds(2);

int BoardUsage(std::ostream& err) {
    err << "usage: panelix-cli [--board sim|usb] board probe|info [--sim-...]\n";
    return cli_exit::kUsage;
}

// The station's log, for a failure's context; its lines end in CR LF.
void PrintLog(const Station& station, std::ostream& err) {
    std::string text = station.log.Text();
    std::string plain;
    for (const char c : text) {
        if (c != '\r') {
            plain += c;
        }
    }
    err << plain;
}

int Probe(CliContext& context, HidBackend& backend) {
    HeadlessView view(context.err);
    RealSleeper sleeper;
    std::error_code ignored;
    Station station(view, backend, sleeper, std::filesystem::current_path(ignored).string());
    view.SetTimerHandler([&station](int timerId) { station.OnTimer(timerId); });
    station.OnShowWindow();
    if (!view.RunUntil([&station] { return station.link.connected.load(); }, kOpenTimeout)) {
        context.err << "error: no board\n";
        return cli_exit::kNoBoard;
    }
    if (!station.board.ReadMemory(0, 7)) {
        PrintLog(station, context.err);
        context.err << "error: the board did not answer\n";
        return cli_exit::kNoBoard;
    }
    const auto header = station.board.AnswerData();
    context.out << "family=" << int{header[0]} << " variant=" << int{header[1]}
                << " version=" << int{header[2]} << " build=" << int{header[3]}
                << " matrix=" << int{header[4]} << "x" << int{header[5]}
                << " objects=" << int{header[6]} << "\n";
    return cli_exit::kOk;
}

}  // namespace

int RunBoardCommand(CliContext& context) {
    std::vector<std::string> words = context.args;
    std::string error;
    std::unique_ptr<HidBackend> backend = MakeBoardBackend(context.board, words, error);
    if (!backend) {
        context.err << "error: " << error << "\n";
        return cli_exit::kUsage;
    }
    if (words.size() == 1 && words[0] == "probe") {
        return Probe(context, *backend);
    }
    if (words.size() == 1 && words[0] == "info") {
        return RunBoardInfo(context, *backend);
    }
    return BoardUsage(context.err);
}
