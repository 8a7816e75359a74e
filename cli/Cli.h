#pragma once

#include <iostream>
#include <string>
#include <string_view>
#include <vector>

// What every panelix-cli command gets: the global options and its own words.
struct CliContext {
    std::string board = "usb";      // --board: where the board is reached
    std::vector<std::string> args;  // the command's words after its name
    std::ostream& out = std::cout;
    std::ostream& err = std::cerr;
};

// Exit codes shared by the commands.
namespace cli_exit {
constexpr int kOk = 0;
constexpr int kRejected = 1;  // a file was rejected, a panel was NG
constexpr int kUsage = 2;     // wrong words, or a file that cannot be opened
constexpr int kNoBoard = 3;   // no board, or a panel that could not be measured
}  // namespace cli_exit

// The global option that chooses the board, as every usage text shows it.
constexpr std::string_view kBoardOptionUsage = "[--board usb|sim|tcp:HOST:PORT]";

int RunConfigCommand(CliContext& context);
int RunBoardCommand(CliContext& context);
int RunSampleCommand(CliContext& context);
int RunTestCommand(CliContext& context);
// sample acquire: one test on the board, then its sample written into the --out folder.
int RunSampleAcquire(CliContext& context);

struct TestStandard;
// The standard that --method abs|pct, --minus A and --plus B give: abs A 0..20000 below and
// B above the sample value, pct A and B percent, 0..100 each. False for anything else.
bool ParseTestStandard(std::string_view method, std::string_view minus, std::string_view plus,
                       TestStandard& standard);
int RunXcfgCommand(CliContext& context);
