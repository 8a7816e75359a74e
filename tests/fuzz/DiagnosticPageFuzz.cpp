// Any bytes as diagnostic pages and as the controller's answers while a page is read:
//  - stored, every page gives its 64 little-endian values at 64 per page, and a page number
//    outside 0..25 changes nothing;
//  - read, whatever page the controller claims to show, the page synchronisation ends within
//    its bound, logs exactly one "target" line and one "now--" or "now++" per step in the
//    right direction, labels the page shown in two characters, and a page read in full holds
//    exactly the bytes of its three reads and is followed by a next-page command.
//
// Input: byte 0 gives the page asked for (its low seven bits modulo 28, minus 1: -1..26) and,
// in bit 7, whether the controller repeats its answers for ever instead of falling silent
// after the last. The rest is 64-byte answers, the last padded with zeros.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "app/Sleeper.h"
#include "app/StatusLog.h"
#include "controller/ControllerCommands.h"
#include "fuzz/FuzzSupport.h"

namespace {

constexpr size_t kMaxAnswers = 48;

std::string Label(int page) {
    return "P" + TwoCharacters(page);
}

bool AllZero(const DiagnosticData& data) {
    return std::all_of(data.rawNodes.begin(), data.rawNodes.end(),
                       [](uint16_t v) { return v == 0; });
}

void CheckStore(std::span<const uint8_t> bytes) {
    DiagnosticData data;
    for (size_t i = 0; i < data.pageBuffer.size(); ++i) {
        data.pageBuffer[i] = bytes[i % bytes.size()];
    }
    for (const int page : {INT_MIN, -1, DiagnosticData::kPages, 1000}) {
        StoreDiagnosticPage(data, page);
    }
    Require(AllZero(data), "a page outside 0..25 was stored");
    for (int page = 0; page < DiagnosticData::kPages; ++page) {
        StoreDiagnosticPage(data, page);
    }
    for (size_t n = 0; n < data.rawNodes.size(); ++n) {
        Require(data.rawNodes[n] == (data.pageBuffer[2 * n] | data.pageBuffer[2 * n + 1] << 8),
                "a node value is not its two bytes, least significant first");
    }
}

struct Rig {
    Rig(std::vector<InputReport> answers, bool repeat) : port(std::move(answers), repeat) {}

    ObjectTable table = ParsedTable(StationTableImage());
    AnswerPort port;
    DiagnosticData data;
    StatusLog log;
    CountingSleeper sleeper{false};
    ControllerCommands commands{port, table, data, log, sleeper};
};

void CheckRead(int page, std::vector<InputReport> answers, bool repeat) {
    Rig rig(std::move(answers), repeat);
    const bool done = rig.commands.ReadDiagnosticPage(page);
    if (page < 0 || page >= DiagnosticData::kPages) {
        Require(!done && rig.port.Transactions() == 0 && rig.log.Text().empty(),
                "a page outside 0..25 was asked for");
        return;
    }
    constexpr int kSteps = controller_bounds::kPageSteps;
    Require(
        rig.port.Transactions() <= (kSteps + 1) + kSteps + 2 + controller_bounds::kMessageReads + 1,
        "reading a page ran past its bounds");

    const uint16_t start = rig.table.diagnosticObject.address;
    const uint16_t diagnosticCommand = static_cast<uint16_t>(rig.table.commandObject.address + 5);
    std::vector<std::string> expected;
    size_t steps = 0;
    const AnswerPort::Read* synchronised = nullptr;
    const AnswerPort::Read* lastFirstRead = nullptr;
    for (const AnswerPort::Read& read : rig.port.reads) {
        if (read.address != start || read.count != 60) {
            continue;
        }
        lastFirstRead = &read;
        const int shown = rig.port.AnswerOf(read)[4];
        if (shown == page) {
            synchronised = &read;
            break;
        }
        if (steps == kSteps) {
            break;
        }
        const bool back = page < shown;
        expected.push_back("target " + Label(page) + (back ? " less,actual " : " more,actual ") +
                           Label(shown));
        if (steps == rig.port.writes.size()) {
            break;
        }
        const AnswerPort::Write& step = rig.port.writes[steps++];
        Require(step.address == diagnosticCommand && step.bytes.size() == 1 &&
                    step.bytes[0] == (back ? 0x02 : 0x01),
                "a page shown out of step is not answered by a step towards it");
        expected.push_back(back ? "now--" : "now++");
    }
    Require(LogLines(rig.log.Text()) == expected,
            "the synchronisation's lines are not one target line and one step per step");
    Require(
        rig.data.pageLabel == (lastFirstRead ? Label(rig.port.AnswerOf(*lastFirstRead)[4]) : ""),
        "the page label is not the page last shown");
    Require(!done || synchronised, "a page was read without the controller showing it");
    if (!done) {
        Require(AllZero(rig.data), "a page not read in full was stored");
        return;
    }

    const size_t at = static_cast<size_t>(synchronised - rig.port.reads.data());
    Require(rig.port.reads.size() >= at + 3, "the page's data reads are missing");
    const AnswerPort::Read& second = rig.port.reads[at + 1];
    const AnswerPort::Read& third = rig.port.reads[at + 2];
    Require(second.address == start + 60 && second.count == 60 && third.address == start + 120 &&
                third.count == 10,
            "the page's data reads are not 60 bytes at +60 and 10 at +120");
    std::vector<uint8_t> bytes;
    const InputReport& first = rig.port.AnswerOf(*synchronised);
    bytes.insert(bytes.end(), first.begin() + 5, first.begin() + 63);
    bytes.insert(bytes.end(), rig.port.AnswerOf(second).begin() + 3,
                 rig.port.AnswerOf(second).begin() + 63);
    bytes.insert(bytes.end(), rig.port.AnswerOf(third).begin() + 3,
                 rig.port.AnswerOf(third).begin() + 13);
    for (int n = 0; n < DiagnosticData::kNodes; ++n) {
        const int i = n - page * DiagnosticData::kNodesPerPage;
        const int value =
            i >= 0 && i < DiagnosticData::kNodesPerPage ? bytes[2 * i] | bytes[2 * i + 1] << 8 : 0;
        Require(rig.data.rawNodes[n] == value, "the page's values are not the bytes it read");
    }
    Require(rig.port.reads.size() > at + 3, "no message was read before the next page");
    for (size_t k = at + 3; k < rig.port.reads.size(); ++k) {
        const InputReport& message = rig.port.AnswerOf(rig.port.reads[k]);
        const bool quiet = message[3] == 0xFF || message[4] == 0;
        Require(rig.port.reads[k].address == rig.table.messageObject.address &&
                    quiet == (k + 1 == rig.port.reads.size()),
                "the messages were not read until the controller was quiet");
    }
    Require(rig.port.writes.size() == steps + 1 &&
                rig.port.writes.back().address == diagnosticCommand &&
                rig.port.writes.back().bytes == std::vector<uint8_t>{0x01},
            "a page read in full does not end with one next-page command");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::span<const uint8_t> input(data, size);
    CheckStore(input);
    const int page = (data[0] & 0x7F) % 28 - 1;
    CheckRead(page, SplitReports(input.subspan(1), kMaxAnswers), (data[0] & 0x80) != 0);
    return 0;
}
