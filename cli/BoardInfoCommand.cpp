// panelix-cli board info: the controller brought up as the station does it, and its table.
#include <chrono>
#include <filesystem>
#include <string>

#include "Cli.h"
#include "HeadlessView.h"
#include "app/Format.h"
#include "app/Sleeper.h"
#include "app/Station.h"

namespace {

constexpr auto kOpenTimeout = std::chrono::seconds(2);
// One bring-up at its slowest: 15 header reads and every later step ending in the link's
// time-out are well inside this.
constexpr auto kBringUpTimeout = std::chrono::seconds(15);

std::string HeaderLine(const ObjectTable& table) {
    const auto& h = table.image;
    return "family=" + FormatDecimal(h[0]) + " variant=" + FormatDecimal(h[1]) +
           " version=" + FormatDecimal(h[2]) + " build=" + FormatDecimal(h[3]) +
           " matrix=" + FormatDecimal(h[4]) + "x" + FormatDecimal(h[5]) +
           " objects=" + FormatDecimal(h[6]);
}

// "i type address size instances ids first-last"; the size in bytes (1..256).
std::string EntryLine(const ObjectTable& table, int i) {
    const std::string ids = table.ID_perInstance[i] == 0 ? "-"
                                                         : FormatDecimal(table.report_L[i]) + "-" +
                                                               FormatDecimal(table.report_H[i]);
    const int size = table.size_Object[i] == 0 ? 256 : table.size_Object[i];
    return FormatDecimal(i) + " " + FormatDecimal(table.type_IC[i]) + " " +
           FormatDecimal(table.StartAddress[i]) + " " + FormatDecimal(size) + " " +
           FormatDecimal(table.instances[i]) + " " + FormatDecimal(table.ID_perInstance[i]) + " " +
           ids;
}

void PrintLog(const Station& station, std::ostream& err) {
    for (const char c : station.log.Text()) {
        if (c != '\r') {
            err << c;
        }
    }
}

}  // namespace

int RunBoardInfo(CliContext& context, HidBackend& backend) {
    HeadlessView view(context.err);
    RealSleeper sleeper;
    std::error_code ignored;
    Station station(view, backend, sleeper, std::filesystem::current_path(ignored).string());
    bool bringUpRan = false;
    view.SetTimerHandler([&](int timerId) {
        station.OnTimer(timerId);
        bringUpRan = bringUpRan || timerId == timers::kBringUp;
    });
    station.OnShowWindow();
    if (!view.RunUntil([&station] { return station.link.connected.load(); }, kOpenTimeout)) {
        context.err << "error: no board\n";
        return cli_exit::kNoBoard;
    }
    if (!view.RunUntil([&bringUpRan] { return bringUpRan; }, kBringUpTimeout) || !station.linkOk) {
        PrintLog(station, context.err);
        context.err << "error: no link to the controller\n";
        return cli_exit::kNoBoard;
    }
    const ObjectTable& table = station.objectTable;
    context.out << HeaderLine(table) << "\n";
    for (int i = 1; i <= table.objectCount; ++i) {
        context.out << EntryLine(table, i) << "\n";
    }
    if (!station.controllerReady) {
        PrintLog(station, context.err);
        context.err << "error: controller not ready\n";
        return cli_exit::kNoBoard;
    }
    context.out << "ready\n";
    return cli_exit::kOk;
}
