#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/PanelModel.h"
#include "sim/SimBackend.h"

// The shape of the simulated panel and board, as the command line gives it. Channels are
// 0-based for nodes (as the grid counts them) and 1-based in self-test results (as the
// controller's message carries them).
struct SimOptions {
    struct Node {
        int x = 0;
        int y = 0;
        uint16_t value = 0;
    };
    std::vector<Node> nodes;                     // --sim-node X,Y=V
    std::optional<SelfTestResult> selfTest;      // --sim-selftest CODE[,KIND,X,Y]
    std::optional<SelfTestResult> pushSelfTest;  // --sim-push-selftest CODE,KIND,X,Y
    int pageOffset = 0;                          // --sim-page-offset N
    std::optional<int> unplugAtPage;             // --sim-unplug-at-page P
    std::optional<uint32_t> silentAfter;         // --sim-silent-after N
    int64_t latencyUs = 0;                       // --sim-latency-us U
    uint64_t seed = 1;                           // --sim-seed S
};

// The options' usage lines, for a program's help text.
extern const char* const kSimOptionsHelp;

// Takes every word starting with "--sim-" out of words, in "--sim-x VALUE" or
// "--sim-x=VALUE" form, into options; the other words stay, in order. Numbers are decimal or
// hexadecimal with 0x. On an unknown --sim- option, a missing value or a malformed or
// out-of-range one, returns false with a one-line message in error (naming the option and
// the value) and leaves words and options as they may stand.
bool ConsumeSimOptions(std::vector<std::string>& words, SimOptions& options, std::string& error);

// A plugged-in simulated board shaped by options: the panel from the seed with its nodes
// and self-test result, the controller's page offset (at the switch to reference data),
// and the board's faults (an unplug comes back after 200 ms; a pushed self-test message
// goes out while page 13 is read) and latency.
std::unique_ptr<SimBackend> MakeSimBackend(const SimOptions& options);
