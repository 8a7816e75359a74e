// Any 64-byte reports as controller messages, with the station's table or a fuzzed one:
//  - decoded as self-test messages, each gives exactly its lines (a pin fault one per named
//    channel, the second repeating the first; "引脚正常"; or the error, "SelfTest=" and a
//    16-byte dump), every line ending in CR LF, and the flags its result code sets: a pin
//    fault fails the panel for good, all-pins-normal passes the self test and nothing else;
//  - pushed by the board, one is decoded exactly when its report ID belongs to an object of
//    type 25, and then as above; any other changes nothing;
//  - as the controller's answers to a whole self test, the test ends within its bounds, and
//    succeeds only on a message of the first self-test object, decoded as above; a failed one
//    leaves the log and the flags as the engine's reset left them.
//
// Input: byte 0 bit 7 clear takes the station's table; set, its low four bits give the number
// of entries that follow, six bytes each, behind a 32 x 52 header. Bit 6 set makes the
// controller repeat its answers for ever instead of falling silent after the last. The rest
// is 64-byte reports, the last padded with zeros.
#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "app/Sleeper.h"
#include "app/StatusLog.h"
#include "controller/ControllerCommands.h"
#include "controller/SelfTest.h"
#include "fuzz/FuzzSupport.h"

namespace {

constexpr size_t kMaxReports = 48;

// The controller layer over a list of answers.
struct Rig {
    Rig(const ObjectTable& parsed, std::vector<InputReport> answers = {}, bool repeat = false)
        : table(parsed), port(std::move(answers), repeat) {
        selfTest.UseTable(table);
    }

    ObjectTable table;
    AnswerPort port;
    DiagnosticData data;
    StatusLog log;
    CountingSleeper sleeper{false};
    ControllerCommands commands{port, table, data, log, sleeper};
    SelfTestFlags flags;
    SelfTest selfTest{commands, flags, log};
};

struct Flags {
    bool selfTestPassed;
    bool panelFailed;
    uint8_t pinFaultX;
    uint8_t pinFaultY;
    std::string faultText;

    explicit Flags(const SelfTestFlags& f)
        : selfTestPassed(f.selfTestPassed),
          panelFailed(f.panelFailed),
          pinFaultX(f.pinFaultX),
          pinFaultY(f.pinFaultY),
          faultText(f.FaultText()) {}
    bool operator==(const Flags&) const = default;
};

// The texts of the fault kinds 1 to 6; any other kind reads as abnormal.
const char* const kKindTexts[] = {"通道对VDD短路，", "通道对GND短路，", "通道之间短路，",
                                  "通道之间短路，",  "通道之间短路，",  "相邻通道阻抗过低，"};

std::string KindText(uint8_t kind) {
    return kind >= 1 && kind <= 6 ? kKindTexts[kind - 1] : "通道异常，";
}

// The effect of decoding report on flags that stood at before: what was appended to the log
// and the flags now.
void CheckDecoded(const InputReport& report, const Flags& before, const std::string& appended,
                  const Flags& after) {
    const uint8_t result = report[4];
    const uint8_t x = report[6];
    const uint8_t y = report[7];
    const std::vector<std::string> lines = LogLines(appended);
    if (result == 0x11 || result == 0x12) {
        std::string line = KindText(report[5]);
        std::vector<std::string> expected;
        if (x != 0) {
            line += "位置在X" + TwoCharacters(x - 1);
            expected.push_back(line);
        }
        if (y != 0) {
            line += "位置在Y" + TwoCharacters(y - 1);
            expected.push_back(line);
        }
        Require(lines == expected, "a pin fault's lines are not its kind and channels");
        Require(after.panelFailed && !after.selfTestPassed && after.pinFaultX == x &&
                    after.pinFaultY == y && after.faultText == line,
                "a pin fault does not fail the panel with its channels");
    } else if (result == 0xFE) {
        Require(lines == std::vector<std::string>{"引脚正常"}, "all pins normal is not one line");
        Flags expected = before;
        expected.selfTestPassed = true;
        Require(after == expected, "all pins normal changed more than selfTestPassed");
    } else {
        const std::vector<std::string> expected = {
            "通道测试出错", "SelfTest=", HexDump(std::span(report).first(16))};
        Require(lines == expected, "a test error is not its line, SelfTest= and 16 bytes");
        Flags unchanged = before;
        unchanged.faultText = "通道测试出错";
        Require(after == unchanged, "a test error changed the flags");
    }
}

// Decodes report on rig and checks the outcome.
void DecodeChecked(Rig& rig, const InputReport& report) {
    const Flags before(rig.flags);
    const size_t logged = rig.log.Text().size();
    rig.selfTest.DecodeSelfTestMessage(report);
    CheckDecoded(report, before, rig.log.Text().substr(logged), Flags(rig.flags));
}

ObjectTable TableFrom(uint8_t selector, std::span<const uint8_t>& input) {
    if ((selector & 0x80) == 0) {
        return ParsedTable(StationTableImage());
    }
    const size_t entries = selector & 0x0F;
    std::vector<uint8_t> image = {0, 0, 0, 0, 32, 52, static_cast<uint8_t>(entries)};
    const size_t bytes = std::min(input.size(), entries * ObjectTable::kEntrySize);
    image.insert(image.end(), input.begin(), input.begin() + static_cast<long>(bytes));
    input = input.subspan(bytes);
    return ParsedTable(image);
}

void CheckPushed(const ObjectTable& table, const std::vector<InputReport>& reports) {
    Rig decoder(table);
    Rig pushed(table);
    for (const InputReport& report : reports) {
        const size_t decoderLogged = decoder.log.Text().size();
        DecodeChecked(decoder, report);
        const std::string decodedLines = decoder.log.Text().substr(decoderLogged);

        const int owner = table.ObjectForReportId(report[3]);
        const bool fromSelfTest = owner != 0 && table.type_IC[owner] == 25;
        const Flags before(pushed.flags);
        const size_t logged = pushed.log.Text().size();
        pushed.selfTest.OnPushedMessage(report);
        const std::string appended = pushed.log.Text().substr(logged);
        if (fromSelfTest) {
            Require(appended == decodedLines, "a pushed self-test message logs otherwise");
            CheckDecoded(report, before, appended, Flags(pushed.flags));
        } else {
            Require(appended.empty() && Flags(pushed.flags) == before,
                    "a pushed message of another object changed something");
        }
    }
}

void CheckRunSelfTest(const ObjectTable& table, const std::vector<InputReport>& reports,
                      bool repeat) {
    Rig rig(table, reports, repeat);
    const Flags reset(rig.flags);
    const bool done = rig.selfTest.RunSelfTest();
    Require(rig.port.Transactions() <=
                2 + self_test_bounds::kCommandPolls + self_test_bounds::kMessageReads,
            "the self test ran past its bounds");
    if (!done) {
        Require(rig.log.Text().empty() && Flags(rig.flags) == reset,
                "a failed self test logged or set flags");
        return;
    }
    const InputReport& last = rig.port.AnswerOf(rig.port.reads.back());
    Require(table.MessageFromType(last[3], 25), "a self test ended on another object's message");
    Rig fresh(table);
    DecodeChecked(fresh, last);
    Require(rig.log.Text() == fresh.log.Text() && Flags(rig.flags) == Flags(fresh.flags),
            "the self test's result was not decoded as its message");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    std::span<const uint8_t> input(data + 1, size - 1);
    const ObjectTable table = TableFrom(data[0], input);
    const std::vector<InputReport> reports = SplitReports(input, kMaxReports);
    CheckPushed(table, reports);
    CheckRunSelfTest(table, reports, (data[0] & 0x40) != 0);
    return 0;
}
