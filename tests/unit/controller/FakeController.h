#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/Sleeper.h"
#include "app/StatusLog.h"
#include "controller/ControllerCommands.h"
#include "controller/MemoryPort.h"
#include "controller/ObjectTable.h"
#include "controller/SelfTest.h"

// A touch controller behind a MemoryPort, just enough of one to drive the controller layer
// without a link: plain memory holding a header and table, a message queue, reference-data
// pages that step, the command byte 5 and the self-test command byte. Every transaction is
// recorded; transactions from failFrom on fail, and a failed read leaves 0xEE in the answer so
// that a caller using it shows.
struct FakeEntry {
    uint8_t type;
    uint16_t address;
    uint8_t size;  // real size in bytes, 1..256
    uint8_t instances;
    uint8_t idsPerInstance;
};

struct Transaction {
    bool write = false;
    uint16_t address = 0;
    int count = 0;  // bytes read, or bytes written
    std::vector<uint8_t> bytes;
    int settleMs = 0;
};

// The layout most tests use: report IDs 1 (command), 2 (self test), 3-4 (type 46, two
// instances); the other objects send no messages.
inline std::vector<FakeEntry> StandardEntries() {
    return {
        {5, 0x0100, 10, 1, 0},  {6, 0x0110, 6, 1, 1},   {9, 0x0120, 130, 1, 0},
        {15, 0x0200, 11, 1, 0}, {25, 0x0210, 6, 1, 1},  {37, 0x0220, 130, 1, 0},
        {46, 0x0300, 10, 2, 1}, {62, 0x0310, 20, 1, 0},
    };
}

// The table bytes from address 0 for a 32 x 52 controller.
inline std::vector<uint8_t> TableBytes(const std::vector<FakeEntry>& entries, uint8_t matrixX = 32,
                                       uint8_t matrixY = 52) {
    std::vector<uint8_t> bytes = {
        0xA4, 0x1C, 0x10, 0xAA, matrixX, matrixY, static_cast<uint8_t>(entries.size())};
    for (const auto& e : entries) {
        bytes.insert(bytes.end(),
                     {e.type, static_cast<uint8_t>(e.address & 0xFF),
                      static_cast<uint8_t>(e.address >> 8), static_cast<uint8_t>(e.size - 1),
                      static_cast<uint8_t>(e.instances - 1), e.idsPerInstance});
    }
    return bytes;
}

// A parsed table as the bring-up would leave it.
inline ObjectTable ParsedTable(const std::vector<FakeEntry>& entries) {
    ObjectTable table;
    const auto bytes = TableBytes(entries);
    table.AcceptHeader(bytes.data());
    std::copy(bytes.begin(), bytes.end(), table.image.begin());
    table.ParseObjectTable();
    return table;
}

class FakeController : public MemoryPort {
public:
    struct Message {
        uint8_t id;
        uint8_t status;
        std::vector<uint8_t> more = {};
    };

    explicit FakeController(const std::vector<FakeEntry>& entries = StandardEntries()) {
        const auto bytes = TableBytes(entries);
        std::copy(bytes.begin(), bytes.end(), memory.begin());
        for (const auto& e : entries) {
            if (e.type == 5 && messageAddress == 0) {
                messageAddress = e.address;
            } else if (e.type == 6 && commandAddress == 0) {
                commandAddress = e.address;
            } else if (e.type == 25 && selfTestAddress == 0) {
                selfTestAddress = e.address;
            } else if (e.type == 37 && diagnosticAddress == 0) {
                diagnosticAddress = e.address;
            }
        }
        for (int i = 0; i < 1664; ++i) {
            nodes[i] = static_cast<uint16_t>(20000 + i);
        }
    }

    bool ReadMemory(uint16_t address, uint8_t count) override {
        trace.push_back({false, address, count, {}, 0});
        if (Failing()) {
            answer.fill(0xEE);
            return false;
        }
        answer.fill(0);
        answer[0] = 1;
        if (address == messageAddress && messageAddress != 0) {
            if (messages.empty() && endlessMessage) {
                messages.push_back(*endlessMessage);
            }
            if (messages.empty()) {
                answer[3] = 0xFF;
            } else {
                const Message m = messages.front();
                messages.pop_front();
                answer[3] = m.id;
                answer[4] = m.status;
                std::copy(m.more.begin(), m.more.end(), answer.begin() + 5);
            }
            return true;
        }
        if (diagnosticAddress != 0 && address >= diagnosticAddress &&
            address < diagnosticAddress + 130) {
            FillDiagnostic();
        }
        for (int i = 0; i < count && address + i < 65536; ++i) {
            answer[3 + i] = memory[address + i];
        }
        return true;
    }

    bool WriteMemory(uint16_t address, std::span<const uint8_t> bytes, int settleMs) override {
        trace.push_back({true, address, static_cast<int>(bytes.size()),
                         std::vector<uint8_t>(bytes.begin(), bytes.end()), settleMs});
        if (Failing()) {
            return false;
        }
        for (size_t i = 0; i < bytes.size(); ++i) {
            memory[(address + i) & 0xFFFF] = bytes[i];
        }
        if (address == commandAddress + 5 && commandAddress != 0) {
            OnDiagnosticCommand(bytes[0]);
        }
        if (address == selfTestAddress + 1 && selfTestAddress != 0 && bytes[0] == 0x12) {
            memory[selfTestAddress + 1] = selfTestReadback;
            if (selfTestResult) {
                messages.push_back(*selfTestResult);
            }
        }
        if (onWrite) {
            onWrite(address, bytes);
        }
        return true;
    }

    const InputReport& Answer() const override { return answer; }

    // Transactions recorded so far that match a predicate.
    int Count(const std::function<bool(const Transaction&)>& match) const {
        int n = 0;
        for (const auto& t : trace) {
            n += match(t) ? 1 : 0;
        }
        return n;
    }
    int Reads(uint16_t address) const {
        return Count([&](const Transaction& t) { return !t.write && t.address == address; });
    }
    int Writes(uint16_t address) const {
        return Count([&](const Transaction& t) { return t.write && t.address == address; });
    }

    std::array<uint8_t, 65536> memory{};
    std::deque<Message> messages;
    // Queued whenever the queue runs dry: a controller that never stops talking.
    std::optional<Message> endlessMessage;
    std::vector<Transaction> trace;
    InputReport answer{};

    // Transactions numbered from 0; from this one on every transaction fails.
    int failFrom = 1 << 30;

    // Reference data: the page shown, whether steps are taken, and byte 5 after a command.
    int shownPage = 0;
    bool pagesStuck = false;
    uint8_t commandReadback = 0;
    std::array<uint16_t, 1664> nodes{};

    // Self test: byte 1 after the command, and the message it queues (none when empty).
    uint8_t selfTestReadback = 0;
    std::optional<Message> selfTestResult = Message{2, 0xFE};

    std::function<void(uint16_t address, std::span<const uint8_t> bytes)> onWrite;

    uint16_t messageAddress = 0;
    uint16_t commandAddress = 0;
    uint16_t selfTestAddress = 0;
    uint16_t diagnosticAddress = 0;

private:
    bool Failing() const { return static_cast<int>(trace.size()) > failFrom; }

    void OnDiagnosticCommand(uint8_t code) {
        memory[commandAddress + 5] = commandReadback;
        if (pagesStuck) {
            return;
        }
        if (code == 0x01) {
            shownPage = (shownPage + 1) % 26;
        } else if (code == 0x02) {
            shownPage = (shownPage + 25) % 26;
        }
    }

    void FillDiagnostic() {
        uint8_t* object = memory.data() + diagnosticAddress;
        object[0] = 0x11;
        object[1] = static_cast<uint8_t>(shownPage);
        for (int i = 0; i < 64; ++i) {
            const uint16_t value = nodes[64 * shownPage + i];
            object[2 + 2 * i] = static_cast<uint8_t>(value & 0xFF);
            object[3 + 2 * i] = static_cast<uint8_t>(value >> 8);
        }
    }
};

// The controller layer over a FakeController with a parsed table; settle and poll sleeps
// only counted.
struct ControllerRig {
    explicit ControllerRig(const std::vector<FakeEntry>& entries = StandardEntries())
        : controller(entries), table(ParsedTable(entries)) {
        selfTest.UseTable(table);
    }

    FakeController controller;
    ObjectTable table;
    DiagnosticData data;
    StatusLog log;
    CountingSleeper sleeper{false};
    ControllerCommands commands{controller, table, data, log, sleeper};
    SelfTestFlags flags;
    SelfTest selfTest{commands, flags, log};
};
