#include "controller/ControllerCommands.h"

#include <algorithm>

#include "app/Format.h"
#include "app/Sleeper.h"
#include "app/StationView.h"
#include "app/StatusLog.h"
#include "controller/SelfTest.h"

namespace {

constexpr uint8_t kNoMessage = 0xFF;
constexpr uint8_t kTypeCommand = 6;
constexpr uint8_t kTypeSelfTest = 25;
constexpr uint8_t kTypeReportAll = 46;
constexpr int kReportChunk = 60;
constexpr int kPollSleepMs = 10;
constexpr int kBringUpSettleMs = 40;

constexpr uint8_t kReferenceMode = 0x11;
constexpr uint8_t kNextPage = 0x01;
constexpr uint8_t kPreviousPage = 0x02;

InputReport NoMessage() {
    InputReport report{};
    report[3] = kNoMessage;
    return report;
}

}  // namespace

std::string PageLabel(int page) {
    return "P" + Right(FormatPadded(page, 10), 2);
}

void StoreDiagnosticPage(DiagnosticData& data, int page) {
    if (page < 0 || page >= DiagnosticData::kPages) {
        return;
    }
    const uint8_t* bytes = data.pageBuffer.data() + page * DiagnosticData::kPageBytes;
    uint16_t* nodes = data.rawNodes.data() + page * DiagnosticData::kNodesPerPage;
    for (int i = 0; i < DiagnosticData::kNodesPerPage; ++i) {
        nodes[i] = static_cast<uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    }
}

uint8_t WholeReadCount(uint8_t size) {
    return size == 0 || size > kReportChunk ? kReportChunk : size;
}

ControllerCommands::ControllerCommands(MemoryPort& memory, const ObjectTable& table,
                                       DiagnosticData& data, StatusLog& log, Sleeper& sleeper)
    : memory_(memory),
      table_(table),
      data_(data),
      log_(log),
      sleeper_(sleeper),
      lastMessage_(NoMessage()) {}

bool ControllerCommands::WriteCommand(uint8_t offset, uint8_t value, int settleMs) {
    const uint8_t bytes[] = {value};
    return memory_.WriteMemory(static_cast<uint16_t>(table_.commandObject.address + offset), bytes,
                               settleMs);
}

bool ControllerCommands::ResetController() {
    return WriteCommand(0, 0x01, 100);
}

bool ControllerCommands::CommitConfiguration() {
    return WriteCommand(1, 0x55, 40);
}

bool ControllerCommands::CalibrateController() {
    return WriteCommand(2, 0x01, 20);
}

bool ControllerCommands::RequestAllReports() {
    return WriteCommand(3, 0x01, 40);
}

bool ControllerCommands::SendDiagnosticCommand(uint8_t code) {
    return WriteCommand(5, code, 10);
}

bool ControllerCommands::ReadWhole(const ObjectLookup& object) {
    return memory_.ReadMemory(object.address, WholeReadCount(object.size));
}

bool ControllerCommands::ReadMessage() {
    if (!ReadWhole(table_.messageObject)) {
        lastMessage_ = NoMessage();
        return false;
    }
    lastMessage_ = memory_.Answer();
    return true;
}

bool ControllerCommands::ReadCommandObject() {
    return ReadWhole(table_.commandObject);
}

bool ControllerCommands::ReadObject15() {
    return ReadWhole(table_.object15);
}

bool ControllerCommands::ReadObject9() {
    int remaining = table_.object9.size;
    uint16_t address = table_.object9.address;
    while (remaining > kReportChunk) {
        if (!memory_.ReadMemory(address, kReportChunk)) {
            return false;
        }
        remaining -= kReportChunk;
        address = static_cast<uint16_t>(address + kReportChunk);
    }
    return remaining == 0 || memory_.ReadMemory(address, static_cast<uint8_t>(remaining));
}

bool ControllerCommands::ApplyBringUpSettings() {
    const uint8_t object9Settings[] = {0x69, 0xFF};
    const uint8_t object62Settings[] = {0x00};
    return memory_.WriteMemory(static_cast<uint16_t>(table_.object9.address + 6), object9Settings,
                               kBringUpSettleMs) &&
           memory_.WriteMemory(table_.object62.address, object62Settings, kBringUpSettleMs) &&
           CommitConfiguration();
}

bool ControllerCommands::DrainToCommandMessage() {
    for (int read = 0; read < controller_bounds::kMessageReads; ++read) {
        if (!ReadMessage()) {
            return false;
        }
        const uint8_t id = LastMessageId();
        if (id == kNoMessage || table_.MessageFromType(id, kTypeCommand)) {
            return true;
        }
    }
    return false;
}

bool ControllerCommands::WaitMessagesQuiet() {
    for (int read = 0; read < controller_bounds::kMessageReads; ++read) {
        sleeper_.SleepMs(kPollSleepMs);
        if (!ReadMessage()) {
            return false;
        }
        if (LastMessageId() == kNoMessage || LastMessageStatus() == 0) {
            return true;
        }
    }
    return false;
}

bool ControllerCommands::EnterReferenceMode() {
    if (!SendDiagnosticCommand(kReferenceMode)) {
        return false;
    }
    log_.AppendLog("in refer mode", 0, 1);
    if (!WaitMessagesQuiet()) {
        return false;
    }
    for (int poll = 0;; ++poll) {
        if (poll == controller_bounds::kCommandPolls || !ReadCommandObject()) {
            return false;
        }
        // Byte 5 of the command object reads 0 once the controller has taken the command.
        if (memory_.Answer()[8] == 0) {
            break;
        }
    }
    log_.AppendLog("confirm refer mode", 0, 1);
    return true;
}

bool ControllerCommands::ReadPageChunk(uint16_t address, uint8_t count, int to) {
    if (!memory_.ReadMemory(address, count)) {
        return false;
    }
    const auto& answer = memory_.Answer();
    std::copy(answer.begin() + 3, answer.begin() + 3 + count, data_.pageBuffer.begin() + to);
    return true;
}

bool ControllerCommands::ReadDiagnosticPage(int page) {
    if (page < 0 || page >= DiagnosticData::kPages) {
        return false;
    }
    const uint16_t start = table_.diagnosticObject.address;
    const int pageStart = page * DiagnosticData::kPageBytes;
    const std::string target = "target " + PageLabel(page);
    for (int steps = 0;; ++steps) {
        if (!memory_.ReadMemory(start, kReportChunk)) {
            return false;
        }
        const auto& answer = memory_.Answer();
        const int shown = answer[4];
        data_.pageLabel = PageLabel(shown);
        if (shown == page) {
            // Object bytes 2..59: the first 58 data bytes of the page.
            std::copy(answer.begin() + 5, answer.begin() + 63,
                      data_.pageBuffer.begin() + pageStart);
            break;
        }
        if (steps == controller_bounds::kPageSteps) {
            return false;
        }
        const bool back = page < shown;
        log_.AppendLog(target + (back ? " less,actual " : " more,actual ") + data_.pageLabel, 0, 1);
        if (!SendDiagnosticCommand(back ? kPreviousPage : kNextPage)) {
            return false;
        }
        log_.AppendLog(back ? "now--" : "now++", 0, 1);
    }
    if (!ReadPageChunk(static_cast<uint16_t>(start + 60), 60, pageStart + 58) ||
        !ReadPageChunk(static_cast<uint16_t>(start + 120), 10, pageStart + 118) ||
        !WaitMessagesQuiet()) {
        return false;
    }
    // The controller already shows the next page when the caller asks for it.
    if (!SendDiagnosticCommand(kNextPage)) {
        return false;
    }
    StoreDiagnosticPage(data_, page);
    return true;
}

namespace {

constexpr uint8_t kStatusBusyBit = 0x80;
constexpr uint8_t kStatusReportBit = 0x10;
constexpr int kHandshakeSleepMs = 10;
constexpr int kOpenBoardPeriodMs = 100;

// The objects the station writes to or reads messages from. Without one of them its look-up
// would point at address 0, the information header.
constexpr uint8_t kRequiredTypes[] = {5, 6, 9, 25, 37, 62};

// The four messages that answer a report-all request, each with status 0.
constexpr uint8_t kReportAllAnswer[] = {kTypeCommand, kTypeSelfTest, kTypeReportAll, kTypeCommand};

void SearchForBoardAgain(BringUpStation& station) {
    station.linkOk = false;
    station.view.KillTimer(timers::kBringUp);
    station.closeBoard();
    station.view.SetTimer(timers::kOpenBoard, kOpenBoardPeriodMs);
}

BringUpResult FailBringUp(ControllerCommands& commands, BringUpStation& station) {
    commands.Log().AppendLog("USB异常，请重新连接USB电缆", 0, 1);
    SearchForBoardAgain(station);
    return BringUpResult::Failed;
}

enum class Handshake { Met, NotMet, Failed };

// Reads the answer to a report-all request, stopping at the first message that is not
// pending, not from the expected object or not of status 0.
Handshake ReadReportAllAnswer(ControllerCommands& commands) {
    for (const uint8_t type : kReportAllAnswer) {
        if (!commands.ReadMessage()) {
            return Handshake::Failed;
        }
        const uint8_t id = commands.LastMessageId();
        if (id == kNoMessage || !commands.Table().MessageFromType(id, type) ||
            commands.LastMessageStatus() != 0) {
            return Handshake::NotMet;
        }
    }
    return Handshake::Met;
}

bool ReadAfterHandshake(ControllerCommands& commands, SelfTest& selfTest) {
    Sleeper& sleeper = commands.Sleep();
    sleeper.SleepMs(kHandshakeSleepMs);
    if (!commands.ReadObject9()) {
        return false;
    }
    sleeper.SleepMs(kHandshakeSleepMs);
    if (!commands.ReadObject15()) {
        return false;
    }
    sleeper.SleepMs(kHandshakeSleepMs);
    if (!selfTest.ReadSelfTestObject()) {
        return false;
    }
    sleeper.SleepMs(kHandshakeSleepMs);
    return true;
}

}  // namespace

BringUpResult BringUpController(ObjectTable& table, ControllerCommands& commands,
                                SelfTest& selfTest, BringUpStation& station) {
    station.linkOk = CheckUsbLink(commands.Memory(), table, commands.Log());
    if (!station.linkOk) {
        SearchForBoardAgain(station);
        return BringUpResult::LinkFailed;
    }
    station.view.KillTimer(timers::kBringUp);

    if (!ReadObjectTable(commands.Memory(), table)) {
        return FailBringUp(commands, station);
    }
    table.ParseObjectTable();
    selfTest.UseTable(table);
    for (const uint8_t type : kRequiredTypes) {
        if (!table.Contains(type)) {
            commands.Log().AppendLog("对象表缺少类型" + FormatDecimal(type), 0, 1);
            return BringUpResult::MissingObject;
        }
    }

    if (!commands.ApplyBringUpSettings()) {
        return FailBringUp(commands, station);
    }
    commands.Sleep().SleepMs(kBringUpSettleMs);
    if (!commands.DrainToCommandMessage()) {
        return FailBringUp(commands, station);
    }
    if ((commands.LastMessageStatus() & kStatusBusyBit) != 0) {
        if (!commands.ReadObject9() || !commands.ReadMessage()) {
            return FailBringUp(commands, station);
        }
    }
    if ((commands.LastMessageStatus() & kStatusReportBit) != 0) {
        if (!commands.DrainToCommandMessage()) {
            return FailBringUp(commands, station);
        }
        if ((commands.LastMessageStatus() & kStatusReportBit) != 0) {
            if (!commands.RequestAllReports()) {
                return FailBringUp(commands, station);
            }
            // A handshake that is not met leaves the controller as it is; it is ready anyway.
            const Handshake handshake = ReadReportAllAnswer(commands);
            if (handshake == Handshake::Failed ||
                (handshake == Handshake::Met && !ReadAfterHandshake(commands, selfTest))) {
                return FailBringUp(commands, station);
            }
        }
    }

    station.controllerReady = true;
    if (station.configValid) {
        station.view.EnableControl(ids::kStartButton, true);
    }
    return BringUpResult::Ready;
}
