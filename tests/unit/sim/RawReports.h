#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "sim/SimBoard.h"

// Output reports as the link builds them, and a board driven by them one at a time.

inline SimReport MemoryReport(uint16_t address, const std::vector<uint8_t>& payload,
                              uint8_t readCount) {
    SimReport report{};
    report[0] = 1;
    report[1] = 0x51;
    report[2] = static_cast<uint8_t>(2 + payload.size());
    report[3] = readCount;
    report[4] = static_cast<uint8_t>(address & 0xFF);
    report[5] = static_cast<uint8_t>(address >> 8);
    for (size_t i = 0; i < payload.size(); ++i) {
        report[6 + i] = payload[i];
    }
    return report;
}

inline SimReport ReadReport(uint16_t address, uint8_t count) {
    return MemoryReport(address, {}, count);
}

inline SimReport WriteReport(uint16_t address, const std::vector<uint8_t>& bytes) {
    return MemoryReport(address, bytes, 0);
}

struct RawBoard {
    SimBoard board;

    SimBoardReply Send(const SimReport& report) { return board.HandleOutputReport(report); }

    // The data bytes of a read, checking that exactly one status-0 answer came back.
    std::vector<uint8_t> Read(uint16_t address, uint8_t count) {
        const SimBoardReply reply = Send(ReadReport(address, count));
        EXPECT_EQ(reply.reports.size(), 1u);
        if (reply.reports.empty()) {
            return std::vector<uint8_t>(count, 0);
        }
        const SimReport& answer = reply.reports.front().report;
        EXPECT_EQ(answer[0], 1);
        EXPECT_EQ(answer[1], SimBoard::kStatusData);
        return {answer.begin() + 3, answer.begin() + 3 + count};
    }

    // The status of the one answer to a write (4 when done).
    uint8_t Write(uint16_t address, const std::vector<uint8_t>& bytes) {
        const SimBoardReply reply = Send(WriteReport(address, bytes));
        EXPECT_EQ(reply.reports.size(), 1u);
        return reply.reports.empty() ? 0xEE : reply.reports.front().report[1];
    }

    const SimObject& Object(uint8_t type) {
        const SimObject* object = board.Controller().FindObject(type);
        EXPECT_NE(object, nullptr) << "type " << int(type);
        static const SimObject kNone;
        return object ? *object : kNone;
    }

    // Reads the message object whole, as the station does: report ID first.
    std::vector<uint8_t> Message() {
        const SimObject& message = Object(5);
        return Read(message.address, static_cast<uint8_t>(message.size));
    }

    void DrainMessages() {
        for (int i = 0; i < 100 && Message()[0] != 0xFF; ++i) {
        }
    }

    // Command object write at offset.
    void Command(int offset, uint8_t value) {
        EXPECT_EQ(Write(static_cast<uint16_t>(Object(6).address + offset), {value}),
                  SimBoard::kStatusWritten);
    }
};
