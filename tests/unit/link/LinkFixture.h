#pragma once

#include <cstdint>
#include <ctime>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/Sleeper.h"
#include "app/StatusLog.h"
#include "link/BoardCommand.h"
#include "link/HidLink.h"
#include "support/FakeHidBackend.h"

// Time stamps in these tests read " (12:34:56)".
inline std::tm FixedTime() {
    std::tm t{};
    t.tm_hour = 12;
    t.tm_min = 34;
    t.tm_sec = 56;
    return t;
}

// A 64-byte report starting with bytes, zero after.
inline FakeHidBackend::Bytes Report(std::initializer_list<uint8_t> bytes, size_t length = 64) {
    FakeHidBackend::Bytes report(length, 0);
    size_t i = 0;
    for (const uint8_t b : bytes) {
        if (i < length) {
            report[i++] = b;
        }
    }
    return report;
}

// Answers as a good board does: a read with the bytes (address + i) & 0xFF, a write with
// status 4.
inline std::vector<FakeHidBackend::Bytes> AnswerLikeBoard(const FakeHidBackend::Bytes& output) {
    const uint8_t readCount = output[3];
    if (readCount == 0) {
        return {Report({1, 0x04})};
    }
    FakeHidBackend::Bytes answer = Report({1, 0x00});
    const unsigned address = output[4] | (output[5] << 8);
    for (unsigned i = 0; i < readCount && 3 + i < answer.size(); ++i) {
        answer[3 + i] = static_cast<uint8_t>((address + i) & 0xFF);
    }
    return {answer};
}

// The link, its log and the board protocol over a scripted backend. The threads run only
// after StartLink.
struct LinkFixture {
    FakeHidBackend backend;
    StatusLog log{FixedTime};
    CountingSleeper sleeper{false};
    HidLink link{backend, log};
    BoardCommand board{link, log, sleeper};

    // Threads running and the board open.
    void OpenWithThreads() {
        link.StartLink();
        link.OpenBoard();
    }
};
