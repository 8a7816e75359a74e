// panelix-bench: how close one test comes to the time the controller's settle and poll sleeps
// and the USB link's report times require, and what it costs the CPU meanwhile.
//
// Runs the station's whole test against the simulated board in real time. For each test the
// floor is the sum of every sleep the sequence asked for (through a CountingSleeper) plus two
// report latencies per board transaction (one report each way), counted during the test.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/Format.h"
#include "app/Sleeper.h"
#include "app/Station.h"
#include "bench/CountingBackend.h"
#include "sim/SimOptions.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kBringUpTimeout = std::chrono::seconds(10);
constexpr auto kTimerTick = std::chrono::milliseconds(5);

// A window that shows nothing; it keeps the timers the station arms so the bring-up can be
// driven, and queues posted calls for the loop below.
class BenchView : public StationView {
public:
    MessageAnswer ShowMessage(std::string_view, std::string_view, MessageButtons,
                              MessageIcon) override {
        return MessageAnswer::Ok;
    }
    std::string ChooseFileToOpen(std::string_view, std::string_view) override { return {}; }
    std::string ChooseFileToSave(std::string_view, std::string_view) override { return {}; }
    void EnableControl(int, bool) override {}
    void EnableMenuItem(int, bool) override {}
    void SetTimer(int timerId, int) override { armed_[timerId] = true; }
    void KillTimer(int timerId) override { armed_.erase(timerId); }
    void SetStatus(std::string_view, Colour) override {}
    void RebuildGrid() override {}
    void ShowNodeValues() override {}
    void RefreshCounters() override {}
    // Posted calls are device events; the simulated board stays plugged, so none matter.
    void PostToUi(std::function<void()>) override {}

    bool Armed(int timerId) const { return armed_.count(timerId) != 0; }

private:
    std::map<int, bool> armed_;
};

int Usage() {
    std::cerr << "usage: panelix-bench [--runs N] [--latency-us U]\n";
    return 2;
}

bool ParseCount(std::string_view text, int64_t low, int64_t high, int64_t& value) {
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size() && value >= low &&
           value <= high;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// The configuration a good simulated panel passes: the whole matrix as visible area.
TestConfig WholePanel() {
    TestConfig config;
    config.x_channel_valid = 32;
    config.y_channel_valid = 52;
    config.rawdata_va_min = 16000;
    config.rawdata_va_max = 40000;
    config.rawdata_key_min = 16000;
    config.rawdata_key_max = 40000;
    config.display_area_x.fill(1);
    config.display_area_y.fill(1);
    config.test_va_area_x.fill(1);
    config.test_va_area_y.fill(1);
    return config;
}

// Timers 2 and 1 as the window would fire them, until the controller is ready.
bool BringUp(Station& station, BenchView& view) {
    station.OnShowWindow();
    const auto deadline = Clock::now() + kBringUpTimeout;
    while (!station.controllerReady && Clock::now() < deadline) {
        for (const int timerId : {timers::kOpenBoard, timers::kBringUp}) {
            if (view.Armed(timerId)) {
                station.OnTimer(timerId);
            }
        }
        std::this_thread::sleep_for(kTimerTick);
    }
    return station.controllerReady;
}

}  // namespace

int main(int argc, char** argv) {
    int64_t runs = 20;
    int64_t latencyUs = 1000;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--runs" && i + 1 < argc && ParseCount(argv[i + 1], 1, 100000, runs)) {
            ++i;
        } else if (option == "--latency-us" && i + 1 < argc &&
                   ParseCount(argv[i + 1], 0, SimBackend::kMaxLatencyUs, latencyUs)) {
            ++i;
        } else {
            return Usage();
        }
    }

    SimOptions options;
    options.latencyUs = latencyUs;
    std::unique_ptr<SimBackend> sim = MakeSimBackend(options);
    CountingBackend backend(*sim);
    BenchView view;
    CountingSleeper sleeper(true);
    std::error_code ignored;
    Station station(view, backend, sleeper, std::filesystem::temp_directory_path(ignored).string());
    station.testConfig = WholePanel();
    station.configState.configValid = true;
    if (!BringUp(station, view)) {
        std::cerr << "error: the simulated controller did not come up\n";
        return 3;
    }

    std::vector<double> cycles;
    std::vector<double> floors;
    const std::clock_t cpuStart = std::clock();
    const auto wallStart = Clock::now();
    for (int64_t run = 0; run < runs; ++run) {
        sleeper.Reset();
        backend.ResetReports();
        const auto start = Clock::now();
        const TestOutcome outcome = station.RunTest();
        const double cycleMs =
            std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        const double floorMs = static_cast<double>(sleeper.TotalMs()) +
                               2.0 * latencyUs * static_cast<double>(backend.Reports()) / 1000.0;
        if (outcome != TestOutcome::Pass) {
            std::cerr << "error: test " << run + 1 << " did not pass\n" << station.log.Text();
            return 1;
        }
        cycles.push_back(cycleMs);
        floors.push_back(floorMs);
        std::cout << "run=" << run + 1 << " cycle_ms=" << FormatFixed(cycleMs, 1)
                  << " floor_ms=" << FormatFixed(floorMs, 1)
                  << " transactions=" << backend.Reports() << "\n";
    }
    const double wallS = std::chrono::duration<double>(Clock::now() - wallStart).count();
    const double cpuS = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;

    const double cycle = Median(cycles);
    const double floor = Median(floors);
    std::cout << "cycle_ms=" << FormatFixed(cycle, 1) << " floor_ms=" << FormatFixed(floor, 1)
              << " ratio=" << FormatFixed(cycle / floor, 3)
              << " cpu_pct=" << FormatFixed(100.0 * cpuS / wallS, 1) << "\n";
    return 0;
}
