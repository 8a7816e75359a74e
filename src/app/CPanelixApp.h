#pragma once

#include <string>
#include <vector>

#include "app/SingleInstance.h"

// The station program's command line: which board it talks to and what it does at start-up.
struct StationOptions {
    std::string board = "usb";  // "usb" or "sim", for MakeBoardBackend
    std::string configPath;     // loaded and accepted at start-up when not empty
    // The words MakeBoardBackend takes the "--sim-..." options from; nothing else is left.
    std::vector<std::string> boardWords;
};

// Reads --simulated-board, --board usb|sim|tcp:HOST:PORT and --config FILE (also as --opt=VALUE);
// "--sim-..." words and anything unknown are left in boardWords, in order. False with a
// one-line message in error for a missing value.
bool ParseStationOptions(const std::vector<std::string>& words, StationOptions& options,
                         std::string& error);

// The usage text of the station program.
std::string StationUsage();

// The station program: one instance at a time, then the main window until it ends.
class CPanelixApp {
public:
    // argc and argv as main got them; they must outlive the object.
    CPanelixApp(int& argc, char** argv);

    // Runs the program and returns its exit code: 0 when the window has ended, also at once
    // and silently when another instance holds the lock "serverassistant"; 2 for a wrong
    // command line (the reason on standard error).
    int InitInstance();

private:
    int& argc_;
    char** argv_;
    // Held for the life of the process; the kernel lets go of it even after a crash.
    SingleInstanceLock instance_;
};
