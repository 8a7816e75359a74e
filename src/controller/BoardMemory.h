#pragma once

#include "controller/MemoryPort.h"
#include "link/BoardCommand.h"

// The controller's memory through the board's command protocol: the station's MemoryPort.
class BoardMemory : public MemoryPort {
public:
    // board must outlive the object.
    explicit BoardMemory(BoardCommand& board) : board_(board) {}

    bool ReadMemory(uint16_t address, uint8_t count) override {
        return board_.ReadMemory(address, count);
    }
    bool WriteMemory(uint16_t address, std::span<const uint8_t> bytes, int settleMs) override {
        return board_.WriteMemory(address, bytes, settleMs);
    }
    const InputReport& Answer() const override { return board_.Answer(); }

private:
    BoardCommand& board_;
};
