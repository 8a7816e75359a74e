#pragma once

#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "Cli.h"
#include "HeadlessView.h"
#include "app/Sleeper.h"
#include "app/Station.h"

// The board context.board names, shaped by the "--sim-..." words, which are taken out of
// words (the others stay, in order). Null after "error: <why>" on context.err; the command
// then exits kUsage.
std::unique_ptr<HidBackend> ChooseBoard(CliContext& context, std::vector<std::string>& words);

// How far the board and its controller came up.
enum class BoardState {
    NoBoard,   // the board did not open in time
    NoLink,    // the bring-up did not run in time, or its link check failed
    NotReady,  // the link check passed but the bring-up did not finish
    Ready,     // controllerReady
};

// The station as panelix-cli runs it: a Station over backend in a HeadlessView whose message
// boxes go to context.err, with real sleeps and the current directory as working folder.
// Everything runs on the calling thread, which is the station's UI thread. The board is not
// touched before one of the operations below.
class HeadlessStation {
public:
    // Timer 2 opens the board within one or two ticks of 100 ms; this leaves room for a slow
    // enumeration.
    static constexpr std::chrono::seconds kOpenTimeout{2};
    // One bring-up at its slowest: 15 header reads and every later step ending in the link's
    // time-out are well inside this.
    static constexpr std::chrono::seconds kBringUpTimeout{15};

    // context and backend must outlive the object.
    HeadlessStation(CliContext& context, HidBackend& backend);

    // Shows the window (link threads, device events, timers 2 and 4) and runs its timers
    // until the board is open; false after kOpenTimeout.
    bool OpenBoard();
    // OpenBoard, then the timers until timer 1 has run the bring-up once, within
    // kBringUpTimeout. A failed bring-up is not tried again.
    BoardState BringUp();
    // Shows the window and runs its timers until controllerReady; false after timeout. A
    // failed bring-up closes the board and the station opens it and brings it up again, as
    // the window does, within the same bound. A bring-up is never cut short, so against a
    // silent board this may return one bring-up (seconds) after timeout.
    bool WaitUntilReady(std::chrono::milliseconds timeout);
    // Device events, posted calls and due timers, without waiting: what the window handles
    // between two presses of Start.
    void RunPending();

    // The station's log with LF line ends.
    void PrintLog(std::ostream& out) const;
    // The log, then "error: <reason>", on context.err; returns kNoBoard.
    int Fail(std::string_view reason) const;

    HeadlessView view;
    RealSleeper sleeper;
    Station station;

private:
    CliContext& context_;
    bool bringUpRan_ = false;
};
