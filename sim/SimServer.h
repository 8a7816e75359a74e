#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>

#include "sim/SimBackend.h"
#include "sim/SimOptions.h"

struct SimServerState;

// The simulated board and controller served over TCP to one station at a time, in the
// framing the station's "tcp:HOST:PORT" board speaks: fixed 64-byte frames each way, output
// reports in, input reports (answers and pushed reports) out.
//
// A station that connects is a re-plug: the board is switched on again (the controller
// powers on, report numbers start again) before its first frame is handled. A second station
// that connects while one is served is closed at once. When the simulated board drops off
// (an unplug fault) the station is dropped too, which it sees as the board's removal; faults
// that fire once stay fired, so the station's next connection finds a working board.
//
// out gets "listening on HOST:PORT" from Start, one line when a station connects ("station
// ADDR connected") and one when it goes ("station ADDR left", or "station ADDR dropped:
// REASON"), and one the first time a second station is turned away while another is served.
// Once Start has returned only the serving thread writes to it, until Stop returns.
class SimServer {
public:
    // The board is made from options as MakeSimBackend makes it. out must outlive the server.
    SimServer(const SimOptions& options, std::ostream& out);
    // Stop.
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Listens on address ("HOST:PORT"; port 0 lets the system pick a free one) and serves on a
    // thread of its own. False with a one-line message in error when the address is malformed
    // or cannot be listened on. Call at most once.
    bool Start(std::string_view address, std::string& error);

    // The address listened on, with the port actually bound ("127.0.0.1:40123"); after Start.
    const std::string& ListeningAddress() const;
    uint16_t Port() const;

    // Drops the station being served, closes the listening socket and ends the serving thread;
    // returns within about 2 s (a station that stopped reading holds a send that long).
    // Later calls do nothing. Not from the serving thread; not async-signal-safe.
    void Stop();

    // The simulated board, to change faults or node values while serving.
    SimBackend& Backend();

private:
    void Serve();

    std::unique_ptr<SimServerState> state_;
    std::thread serving_;
};
