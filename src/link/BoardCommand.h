#pragma once

#include <chrono>
#include <cstdint>
#include <span>

#include "link/HidLink.h"

class Sleeper;
class StatusLog;

// The one memory transaction the board knows: report ID 1, command 0x51.
constexpr uint8_t kBoardReportId = 1;
constexpr uint8_t kMemoryTransaction = 0x51;
// What one report can carry: the address and payload written, and the bytes read back.
constexpr uint8_t kMaxWriteCount = 60;
constexpr uint8_t kMaxPayload = kMaxWriteCount - 2;
constexpr uint8_t kMaxReadCount = 60;

// The 64-byte output report: report ID, command, write count, read count, address (least
// significant byte first), then writeCount - 2 payload bytes when writeCount > 2, zero
// after. A payload shorter than that is padded with zeros; extra payload bytes are not sent.
// writeCount is at most kMaxWriteCount (the caller's duty; larger counts send no payload
// beyond the report).
HidReport BuildBoardCommand(uint8_t reportId, uint8_t command, uint8_t writeCount,
                            uint8_t readCount, uint16_t address, std::span<const uint8_t> payload);

// The board command protocol: single reports and the read and write transactions on which
// all controller access is built. UI thread only; one transaction at a time.
//
// Every wait for the board is bounded by kAnswerTimeout and also ends at once when the board
// is closed or its reads fail; the transaction then returns false.
class BoardCommand {
public:
    // How long a transaction waits for the board. A full-speed board needs about 1 ms to
    // take the 64-byte output report (one interrupt frame), a few ms for its own bus
    // transfer to the controller (60 bytes at 100 kHz take about 6 ms) and 1 ms to return
    // the answer: about 10 ms in all. 250 ms allows for a busy PC and a controller that
    // stretches its clock while keeping a pulled or silent board from stalling a link check
    // of 15 attempts for more than a few seconds.
    static constexpr std::chrono::milliseconds kAnswerTimeout{250};

    // link, log and sleeper must outlive the object.
    BoardCommand(HidLink& link, StatusLog& log, Sleeper& sleeper);

    // Builds the report into link.outputReport and starts writing it. True when it was
    // written or the write is under way; false when nothing was sent:
    //   no board connected: "设备未找到" (time stamp, line end);
    //   no write handle: "无效的写报告句柄，可能是打开设备时失败" (time stamp, line end);
    //   previous write still pending: no message;
    //   write failed: "发送失败，错误代码：" and the code right-aligned in five characters
    //   (time stamp, line end), for code 1 also "该设备不支持WriteFile函数。" (line end).
    bool SendReport(uint8_t reportId, uint8_t command, uint8_t writeCount, uint8_t readCount,
                    uint16_t address, std::span<const uint8_t> payload = {});

    // Reads count bytes (at most 60) at address. True when the board answered; the data bytes are
    // then AnswerData() and the whole answer Answer(). False when nothing was sent, count is
    // out of range, or no answer came; the answer then reads as empty (all zero).
    bool ReadMemory(uint16_t address, uint8_t count);

    // Writes bytes (at most 58) at address, waits for the board's acknowledgement and then
    // sleeps settleMs through the Sleeper. False when nothing was sent, bytes is too long or
    // no acknowledgement came; the settle sleep is then skipped.
    bool WriteMemory(uint16_t address, std::span<const uint8_t> bytes, int settleMs);

    // The answer of the last transaction, if it was a ReadMemory that returned true: the
    // input report with the data from byte 3. All zero otherwise, never a stale answer.
    const HidReport& Answer() const { return answer_; }
    // The count data bytes of that answer; empty unless the last transaction was a
    // successful ReadMemory.
    std::span<const uint8_t> AnswerData() const;

private:
    void ForgetAnswer();

    HidLink& link_;
    StatusLog& log_;
    Sleeper& sleeper_;
    HidReport answer_{};
    uint8_t answerCount_ = 0;
};
