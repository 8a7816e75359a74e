#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "link/HidBackend.h"

// Where the board is reached, chosen by name so that nothing above the link asks which one
// it has: "usb" is the real board through hidapi, "sim" the simulated board, "tcp:HOST:PORT"
// a board (or panelix-sim) on the far side of a TCP connection.
//
// For "sim", the "--sim-..." words are taken out of words and shape the simulated panel and
// board; other words stay, in order. Returns null with a one-line message in error for an
// unknown name, a malformed sim option, a malformed or unresolvable tcp address, or "usb" in
// a build without the hidapi backend.
std::unique_ptr<HidBackend> MakeBoardBackend(std::string_view name, std::vector<std::string>& words,
                                             std::string& error);

// The real board. Null with a message in error when this build has no hidapi backend.
std::unique_ptr<HidBackend> MakeUsbBackend(std::string& error);
