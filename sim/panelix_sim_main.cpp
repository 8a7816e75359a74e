// panelix-sim: the simulated board and controller served over TCP, so that a station on
// another machine, or an instructor's simulator next to an operator's station, can be used
// like a board on the bus.
#include <pthread.h>
#include <signal.h>

#include <ctime>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "sim/SimOptions.h"
#include "sim/SimServer.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitCannotListen = 1;
constexpr int kExitUsage = 2;

void PrintUsage(std::ostream& out) {
    out << "usage: panelix-sim --listen HOST:PORT [--sim-...]\n"
           "Serves the simulated board to one station at a time; a station reaches it with\n"
           "--board tcp:HOST:PORT. Port 0 takes a free port (printed at start). Each new\n"
           "station switches the board on again. Ends on Ctrl-C or SIGTERM.\n"
        << kSimOptionsHelp;
}

// "--listen VALUE" or "--listen=VALUE"; false for any other word.
bool ParseListen(const std::vector<std::string>& words, std::string& address) {
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string_view word = words[i];
        if (word == "--listen" && i + 1 < words.size()) {
            address = words[++i];
        } else if (word.starts_with("--listen=")) {
            address = std::string(word.substr(9));
        } else {
            return false;
        }
    }
    return !address.empty();
}

}  // namespace

int main(int argc, char** argv) {
    // Blocked before any thread starts, so every thread inherits the mask and the signals
    // reach only the wait below, which then stops the server in order.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::vector<std::string> words(argv + 1, argv + argc);
    for (const std::string& word : words) {
        if (word == "--help" || word == "-h") {
            PrintUsage(std::cout);
            return kExitOk;
        }
    }
    SimOptions options;
    std::string error;
    if (!ConsumeSimOptions(words, options, error)) {
        std::cerr << "panelix-sim: " << error << "\n";
        return kExitUsage;
    }
    std::string address;
    if (!ParseListen(words, address)) {
        PrintUsage(std::cerr);
        return kExitUsage;
    }

    SimServer server(options, std::cout);
    if (!server.Start(address, error)) {
        std::cerr << "panelix-sim: " << error << "\n";
        return kExitCannotListen;
    }
    const timespec slice{1, 0};
    for (;;) {
        const int signal = sigtimedwait(&stopSignals, nullptr, &slice);
        if (signal == SIGINT || signal == SIGTERM) {
            break;
        }
    }
    server.Stop();
    std::cout << "stopped" << std::endl;
    return kExitOk;
}
