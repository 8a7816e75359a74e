#include "link/BoardCommand.h"

#include <algorithm>
#include <string>

#include "app/Format.h"
#include "app/Sleeper.h"
#include "app/StatusLog.h"

namespace {

constexpr size_t kPayloadOffset = 6;
constexpr size_t kDataOffset = 3;
// The platform's code for a device that takes no output reports.
constexpr int kErrorNoOutputReports = 1;

}  // namespace

HidReport BuildBoardCommand(uint8_t reportId, uint8_t command, uint8_t writeCount,
                            uint8_t readCount, uint16_t address, std::span<const uint8_t> payload) {
    HidReport report{};
    report[0] = reportId;
    report[1] = command;
    report[2] = writeCount;
    report[3] = readCount;
    report[4] = static_cast<uint8_t>(address & 0xFF);
    report[5] = static_cast<uint8_t>(address >> 8);
    if (writeCount > 2) {
        const size_t wanted = std::min<size_t>(writeCount - 2, kReportSize - kPayloadOffset);
        const size_t copied = std::min(wanted, payload.size());
        std::copy_n(payload.begin(), copied, report.begin() + kPayloadOffset);
    }
    return report;
}

BoardCommand::BoardCommand(HidLink& link, StatusLog& log, Sleeper& sleeper)
    : link_(link), log_(log), sleeper_(sleeper) {}

bool BoardCommand::SendReport(uint8_t reportId, uint8_t command, uint8_t writeCount,
                              uint8_t readCount, uint16_t address,
                              std::span<const uint8_t> payload) {
    if (!link_.connected) {
        log_.AppendLog("设备未找到", 1, 1);
        return false;
    }
    if (!link_.HasWriteHandle()) {
        log_.AppendLog("无效的写报告句柄，可能是打开设备时失败", 1, 1);
        return false;
    }
    if (link_.writePending) {
        return false;
    }
    link_.outputReport =
        BuildBoardCommand(reportId, command, writeCount, readCount, address, payload);
    link_.writePending = true;
    const WriteStart start = link_.StartWrite(link_.outputReport);
    switch (start.kind) {
        case WriteStart::Kind::Completed:
            link_.writePending = false;
            return true;
        case WriteStart::Kind::Pending:
            return true;
        case WriteStart::Kind::Failed:
            break;
    }
    // Every failure, code 0 included, means nothing was sent: reporting it as under way
    // would leave writePending set for good and refuse every later send.
    link_.writePending = false;
    log_.AppendLog("发送失败，错误代码：" + FormatPadded(start.errorCode, 10), 1, 1);
    if (start.errorCode == kErrorNoOutputReports) {
        log_.AppendLog("该设备不支持WriteFile函数。", 0, 1);
    }
    return false;
}

bool BoardCommand::ReadMemory(uint16_t address, uint8_t count) {
    ForgetAnswer();
    if (count > kMaxReadCount) {
        return false;
    }
    link_.WaitUntil([this] { return !link_.writePending; }, kAnswerTimeout);
    // Only an answer that arrives after this request may be taken for it; one that came too
    // late for an earlier, failed read would otherwise pass for this one.
    link_.dataReady = false;
    if (!SendReport(kBoardReportId, kMemoryTransaction, 2, count, address)) {
        return false;
    }
    if (!link_.WaitUntil([this] { return link_.dataReady.load(); }, kAnswerTimeout)) {
        return false;
    }
    link_.dataReady = false;
    answer_ = link_.InputReport();
    answerCount_ = count;
    return true;
}

bool BoardCommand::WriteMemory(uint16_t address, std::span<const uint8_t> bytes, int settleMs) {
    ForgetAnswer();
    if (bytes.size() > kMaxPayload) {
        return false;
    }
    link_.WaitUntil([this] { return !link_.writePending; }, kAnswerTimeout);
    // A read's answer sets ackReady too; left standing, it would pass for this write's
    // acknowledgement before the board has the bytes, and a silent board would look done.
    link_.ackReady = false;
    const auto writeCount = static_cast<uint8_t>(2 + bytes.size());
    if (!SendReport(kBoardReportId, kMemoryTransaction, writeCount, 0, address, bytes)) {
        return false;
    }
    if (!link_.WaitUntil([this] { return link_.ackReady.load(); }, kAnswerTimeout)) {
        return false;
    }
    link_.ackReady = false;
    sleeper_.SleepMs(settleMs);
    return true;
}

std::span<const uint8_t> BoardCommand::AnswerData() const {
    return std::span<const uint8_t>(answer_).subspan(kDataOffset, answerCount_);
}

void BoardCommand::ForgetAnswer() {
    answer_.fill(0);
    answerCount_ = 0;
}
