#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "link/HidBackend.h"

struct TcpBackendState;

// Splits "HOST:PORT" (an IPv6 host in brackets: "[::1]:7000") into host and port. False for
// an empty host, a port outside 1..65535 (0..65535 with allowPortZero, for a listener that
// takes any free port) or anything else after the host.
bool ParseTcpAddress(std::string_view address, std::string& host, uint16_t& port,
                     bool allowPortZero = false);

// The board on the far side of a TCP connection: a rig driven from another machine, or
// panelix-sim. Both directions carry fixed 64-byte frames and nothing else: each output
// report goes out as it would be written to HID (byte 0 the report ID), and every 64 bytes
// that arrive are one input report as HID would deliver it. A frame that arrives in pieces
// is put together; a peer that stops in the middle of a frame delivers nothing more, so the
// link's read time-outs bound the wait.
//
// The station only connects, and only to the address it was given. While connected,
// Enumerate shows one device with the board's identity (vendor 0x03EB, product 0x212C,
// version 0x1032, interface 1) and the path "tcp:" + address. While not connected, each
// Enumerate starts a connect (or goes on with one under way) and waits for it at most
// kConnectWaitMs; a connect that has not finished after kConnectTimeoutMs is given up.
//
// A connection that closes or fails is the board's removal: every handle on it fails for
// good (Read -1, StartWrite Failed with kDeviceGoneError, WaitWriteDone true) and the
// WatchDevices listener hears Removal. From then on the backend itself tries to connect
// every kRetryPeriodMs; a connect that succeeds outside an Enumerate is an Arrival. Events
// come from the backend's own thread, one at a time and in order.
//
// Every open handle gets its own copy of each input report that arrives while it is open,
// queued up to kQueueLimit (the oldest dropped). A write is Completed when the socket took the
// whole frame, Pending while the rest waits for the peer to read; at most kMaxPendingFrames
// may wait (then Failed with kBusyError).
//
// Thread-safe: any member may be called from any thread. Handles may outlive the backend
// (they then fail).
class TcpBackend : public HidBackend {
public:
    static constexpr uint16_t kVendorId = 0x03EB;
    static constexpr uint16_t kProductId = 0x212C;
    static constexpr uint16_t kVersion = 0x1032;
    static constexpr int kInterfaceNumber = 1;
    static constexpr size_t kFrameSize = 64;
    static constexpr size_t kQueueLimit = 64;
    static constexpr size_t kMaxPendingFrames = 16;
    static constexpr int kConnectWaitMs = 50;
    static constexpr int kConnectTimeoutMs = 2000;
    static constexpr int kRetryPeriodMs = 250;
    static constexpr int kBusyError = 11;           // as errno's EAGAIN
    static constexpr int kDeviceGoneError = 19;     // as errno's ENODEV
    static constexpr int kInvalidReportError = 22;  // as errno's EINVAL: not one 64-byte frame

    // address: "HOST:PORT"; the host is resolved here, once, and only its first address is
    // ever used. Null with a one-line message in error when the address is malformed, cannot
    // be resolved, or the backend's thread cannot be set up. Does not connect yet.
    static std::unique_ptr<TcpBackend> Create(std::string_view address, std::string& error);

    // Closes the connection (the peer sees it leave) and stops the thread.
    ~TcpBackend() override;
    TcpBackend(const TcpBackend&) = delete;
    TcpBackend& operator=(const TcpBackend&) = delete;

    std::vector<HidDeviceInfo> Enumerate() override;
    // Null unless connected and path is this board's path. Reports that arrived before are
    // not seen by the new handle.
    std::unique_ptr<HidHandle> Open(const std::string& path) override;
    void WatchDevices(DeviceListener listener) override;

    // "tcp:" + the address as given.
    const std::string& Path() const;

private:
    explicit TcpBackend(std::shared_ptr<TcpBackendState> state);
    void RunIo();

    std::shared_ptr<TcpBackendState> state_;
    std::thread io_;
};
