#include "controller/SelfTest.h"

#include <utility>

#include "app/Format.h"
#include "app/StatusLog.h"
#include "controller/ControllerCommands.h"

namespace {

constexpr uint8_t kNoMessage = 0xFF;
constexpr uint8_t kTypeSelfTest = 25;
constexpr uint8_t kRunPinTest = 0x12;
constexpr uint8_t kAllPinsNormal = 0xFE;
constexpr int kDumpBytes = 16;

std::string Channel(uint8_t oneBased) {
    return Right(FormatPadded(oneBased - 1, 10), 2);
}

}  // namespace

void SelfTestFlags::Reset() {
    selfTestPassed = false;
    panelFailed = false;
    pinFaultX = 0;
    pinFaultY = 0;
    SetFaultText({});
}

std::string SelfTestFlags::FaultText() const {
    std::lock_guard lock(faultTextMutex_);
    return faultText_;
}

void SelfTestFlags::SetFaultText(std::string text) {
    std::lock_guard lock(faultTextMutex_);
    faultText_ = std::move(text);
}

std::string FaultKindText(uint8_t kind) {
    switch (kind) {
        case 1:
            return "通道对VDD短路，";
        case 2:
            return "通道对GND短路，";
        case 3:
        case 4:
        case 5:
            return "通道之间短路，";
        case 6:
            return "相邻通道阻抗过低，";
        default:
            return "通道异常，";
    }
}

SelfTest::SelfTest(ControllerCommands& commands, SelfTestFlags& flags, StatusLog& log)
    : commands_(commands), flags_(flags), log_(log) {}

void SelfTest::UseTable(const ObjectTable& table) {
    std::lock_guard lock(routeMutex_);
    routeTable_ = table;
}

bool SelfTest::WriteSelfTestCommand(uint8_t code) {
    const uint8_t bytes[] = {code};
    const uint16_t address = commands_.Table().selfTestObject.address;
    return commands_.Memory().WriteMemory(static_cast<uint16_t>(address + 1), bytes, 10);
}

bool SelfTest::ReadSelfTestObject() {
    const ObjectLookup& object = commands_.Table().selfTestObject;
    return commands_.Memory().ReadMemory(object.address, WholeReadCount(object.size));
}

bool SelfTest::RunSelfTest() {
    if (!ReadSelfTestObject()) {
        return false;
    }
    // Anything pushed from here on answers this test's command.
    const uint32_t pushedBefore = pushedResults_.load();
    // An earlier pushed "all normal" answers no command of this test; left standing, a
    // result that says the test went wrong would still pass the panel.
    flags_.selfTestPassed = false;
    if (!WriteSelfTestCommand(kRunPinTest)) {
        return false;
    }
    for (int poll = 0;; ++poll) {
        if (poll == self_test_bounds::kCommandPolls || !ReadSelfTestObject()) {
            return false;
        }
        const uint8_t command = commands_.Memory().Answer()[4];
        if (command == 0 || command == kRunPinTest) {
            break;
        }
    }
    for (int read = 0; read < self_test_bounds::kMessageReads; ++read) {
        if (pushedResults_.load() != pushedBefore) {
            return true;
        }
        if (!commands_.ReadMessage()) {
            return false;
        }
        const uint8_t id = commands_.LastMessageId();
        if (id != kNoMessage && commands_.Table().MessageFromType(id, kTypeSelfTest)) {
            DecodeSelfTestMessage(commands_.LastMessage());
            return true;
        }
    }
    return pushedResults_.load() != pushedBefore;
}

void SelfTest::DecodeSelfTestMessage(const InputReport& report) {
    std::lock_guard lock(decodeMutex_);
    const uint8_t result = report[4];
    const uint8_t kind = report[5];
    const uint8_t x = report[6];
    const uint8_t y = report[7];
    if (result == 0x11 || result == 0x12) {
        flags_.panelFailed = true;
        flags_.selfTestPassed = false;
        std::string text = FaultKindText(kind);
        flags_.pinFaultX = x;
        flags_.pinFaultY = y;
        // With both channels named the second line repeats the first and adds Y.
        if (x != 0) {
            text += "位置在X" + Channel(x);
            log_.AppendLog(text, 0, 1);
        }
        if (y != 0) {
            text += "位置在Y" + Channel(y);
            log_.AppendLog(text, 0, 1);
        }
        flags_.SetFaultText(std::move(text));
    } else if (result == kAllPinsNormal) {
        flags_.selfTestPassed = true;
        log_.AppendLog("引脚正常", 0, 1);
    } else {
        flags_.SetFaultText("通道测试出错");
        log_.AppendLog("通道测试出错", 0, 1);
        log_.AppendLog("SelfTest=", 0, 1);
        // One append for the whole dump, so a line from the other thread cannot split it.
        std::string dump;
        for (int i = 0; i < kDumpBytes; ++i) {
            dump += Right(FormatPadded(report[i], 16), 2) + " ";
        }
        log_.AppendLog(dump, 0, 1);
    }
}

void SelfTest::OnPushedMessage(const InputReport& report) {
    bool fromSelfTest = false;
    {
        std::lock_guard lock(routeMutex_);
        const int i = routeTable_.ObjectForReportId(report[3]);
        fromSelfTest = i != 0 && routeTable_.type_IC[i] == kTypeSelfTest;
    }
    if (!fromSelfTest) {
        return;
    }
    DecodeSelfTestMessage(report);
    ++pushedResults_;
}
