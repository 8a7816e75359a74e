#include "sim/SimBoard.h"

#include <algorithm>

SimBoard::SimBoard(SimController controller) : controller_(std::move(controller)) {}

void SimBoard::PowerOn() {
    reportCount_ = 0;
    controller_.PowerOn();
}

SimReport SimBoard::MakeReport(uint8_t status, std::span<const uint8_t> data) {
    SimReport report{};
    report[0] = kReportId;
    report[1] = status;
    std::copy_n(data.begin(), std::min<size_t>(data.size(), report.size() - 3), report.begin() + 3);
    return report;
}

SimReport SimBoard::MakePushedReport(std::span<const uint8_t> message) {
    return MakeReport(kStatusPushed, message);
}

SimReport SimBoard::MakePushedSelfTest(const SelfTestResult& result) const {
    const uint8_t message[] = {controller_.ReportIdOf(25), result.code, result.kind, result.x,
                               result.y};
    return MakePushedReport(message);
}

bool SimBoard::ReadsDiagnosticPage(uint16_t address, int readCount) const {
    const SimObject* diagnostic = controller_.FindObject(37);
    if (readCount <= 0 || diagnostic == nullptr || diagnostic->size < 2 ||
        !controller_.ReferenceMode()) {
        return false;
    }
    const uint32_t pageByte = diagnostic->address + 1u;
    return pageByte >= address && pageByte < address + static_cast<uint32_t>(readCount);
}

SimBoardReply SimBoard::HandleOutputReport(std::span<const uint8_t> report) {
    SimBoardReply reply;
    if (report.size() != SimReport().size() || report[0] != kReportId) {
        return reply;
    }
    reply.accepted = true;
    ++reportCount_;
    if (faults_.silentAfterReports && reportCount_ > *faults_.silentAfterReports) {
        return reply;
    }
    for (const auto& error : faults_.errorStatuses) {
        if (error.report == reportCount_) {
            reply.reports.push_back({MakeReport(error.status), 0});
            return reply;
        }
    }
    const uint8_t command = report[1];
    const int writeCount = report[2];
    const int readCount = report[3];
    const auto address = static_cast<uint16_t>(report[4] | report[5] << 8);
    if (command != kMemoryCommand || writeCount < 2 || writeCount > kMaxWriteCount ||
        readCount > kMaxReadCount) {
        reply.reports.push_back({MakeReport(kStatusRejected), 0});
        return reply;
    }

    const bool pageRead = ReadsDiagnosticPage(address, readCount);
    const int pageShown = controller_.PageShown();
    if (pageRead && faults_.unplugAtPage && !unplugFired_ &&
        pageShown == faults_.unplugAtPage->page) {
        unplugFired_ = true;
        reply.unplug = true;
        reply.replugAfterMs = faults_.unplugAtPage->replugAfterMs;
        return reply;
    }

    const int selfTestsBefore = controller_.Count().selfTests;
    if (writeCount > 2) {
        controller_.Write(address, report.subspan(6, writeCount - 2));
    }
    SimTimedReport answer;
    if (readCount > 0) {
        answer.report = MakeReport(kStatusData, controller_.Read(address, readCount));
    } else {
        answer.report = MakeReport(kStatusWritten);
    }
    for (const auto& late : faults_.lateAnswers) {
        if (late.report == reportCount_) {
            answer.extraDelayUs += late.extraDelayUs;
        }
    }
    reply.reports.push_back(answer);

    if (faults_.forwardSelfTestResult && controller_.Count().selfTests != selfTestsBefore) {
        if (const auto result = controller_.TakeMessage(25)) {
            reply.reports.push_back({MakePushedReport(*result), answer.extraDelayUs});
        }
    }

    const auto& push = faults_.pushSelfTest;
    if (push && pageRead && pageShown == push->atPage &&
        pushedAtEntry_ != controller_.ReferenceEntries()) {
        pushedAtEntry_ = controller_.ReferenceEntries();
        reply.reports.push_back({MakePushedSelfTest(push->result), answer.extraDelayUs});
    }
    return reply;
}
