#pragma once

#include <array>
#include <cstdint>
#include <span>

// One 64-byte input report as the board sent it: byte 0 report ID, byte 1 status, data or a
// controller message from byte 3.
using InputReport = std::array<uint8_t, 64>;

// The controller's memory as the controller layer reaches it: one board transaction per call,
// on the UI thread. The station's implementation goes through BoardCommand; tests script it.
class MemoryPort {
public:
    virtual ~MemoryPort() = default;

    // Reads count bytes (1..60) at address. True when the board answered; Answer() then holds
    // the answer with the bytes from index 3. False when nothing was sent or no answer came
    // within the link's time-out; Answer() is then not to be used.
    virtual bool ReadMemory(uint16_t address, uint8_t count) = 0;

    // Writes bytes (at most 58) at address and, once the board has acknowledged, sleeps
    // settleMs through the station's Sleeper. False when nothing was sent or no
    // acknowledgement came; the settle sleep is then skipped.
    virtual bool WriteMemory(uint16_t address, std::span<const uint8_t> bytes, int settleMs) = 0;

    // The input report that answered the last successful ReadMemory.
    virtual const InputReport& Answer() const = 0;
};
