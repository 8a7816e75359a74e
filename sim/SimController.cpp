#include "sim/SimController.h"

#include <algorithm>

namespace {

constexpr uint32_t kAddressSpace = 0x10000;

// Contents of plain memory before anything was written: varied, so that a transfer that
// drops or shifts bytes shows up, and the same on every run.
uint8_t InitialByte(uint32_t address) {
    return static_cast<uint8_t>(address * 29 + 11);
}

bool Covers(uint32_t first, size_t count, uint32_t address) {
    return address >= first && address < first + count;
}

}  // namespace

std::vector<SimObjectSpec> SimController::DefaultLayout() {
    return {
        {5, 10, 1, 0}, {6, 6, 1, 1},    {9, 70, 2, 10}, {15, 11, 1, 1},
        {25, 6, 1, 1}, {37, 130, 1, 0}, {38, 64, 1, 0}, {7, 4, 1, 0},
        {8, 10, 1, 0}, {18, 2, 1, 0},   {40, 5, 1, 0},  {42, 10, 1, 0},
        {46, 9, 1, 1}, {47, 22, 1, 0},  {56, 36, 1, 1}, {62, 54, 1, 1},
    };
}

SimController::SimController(PanelModel panel, std::vector<SimObjectSpec> layout)
    : panel_(std::move(panel)), memory_(kAddressSpace, 0) {
    if (layout.size() > kMaxObjects) {
        layout.resize(kMaxObjects);
    }
    tableEnd_ = kHeaderSize + kTableEntrySize * static_cast<uint32_t>(layout.size());
    uint32_t next = tableEnd_;
    uint8_t lastReportId = 0;
    for (const auto& spec : layout) {
        SimObject object;
        object.type = spec.type;
        object.size = std::clamp<uint16_t>(spec.size, 1, 256);
        object.instances = std::clamp<uint16_t>(spec.instances, 1, 256);
        object.reportIdsPerInstance = spec.reportIdsPerInstance;
        const uint32_t span = static_cast<uint32_t>(object.size) * object.instances;
        if (next + span > kAddressSpace) {
            break;
        }
        object.address = static_cast<uint16_t>(next);
        next += span;
        if (object.reportIdsPerInstance != 0) {
            object.firstReportId = static_cast<uint8_t>(lastReportId + 1);
            object.lastReportId = static_cast<uint8_t>(
                object.firstReportId + object.instances * object.reportIdsPerInstance - 1);
            lastReportId = object.lastReportId;
        }
        objects_.push_back(object);
    }
    memoryEnd_ = next;
    // The table may have lost entries that did not fit.
    tableEnd_ = kHeaderSize + kTableEntrySize * static_cast<uint32_t>(objects_.size());

    memory_[0] = kFamilyId;
    memory_[1] = kVariant;
    memory_[2] = kVersion;
    memory_[3] = kBuild;
    memory_[4] = PanelModel::kXChannels;
    memory_[5] = PanelModel::kYChannels;
    memory_[6] = static_cast<uint8_t>(objects_.size());
    for (size_t i = 0; i < objects_.size(); ++i) {
        const SimObject& object = objects_[i];
        uint8_t* entry = &memory_[kHeaderSize + kTableEntrySize * i];
        entry[0] = object.type;
        entry[1] = static_cast<uint8_t>(object.address & 0xFF);
        entry[2] = static_cast<uint8_t>(object.address >> 8);
        entry[3] = static_cast<uint8_t>(object.size - 1);
        entry[4] = static_cast<uint8_t>(object.instances - 1);
        entry[5] = object.reportIdsPerInstance;
    }
    for (uint32_t address = tableEnd_; address < memoryEnd_; ++address) {
        memory_[address] = InitialByte(address);
    }

    auto first = [this](uint8_t type) -> std::optional<SimObject> {
        const SimObject* object = FindObject(type);
        return object ? std::optional<SimObject>(*object) : std::nullopt;
    };
    messageObject_ = first(5);
    commandObject_ = first(6);
    selfTestObject_ = first(25);
    diagnosticObject_ = first(37);
    ClearObjectState();
    stored_ = memory_;
    PowerOn();
}

const SimObject* SimController::FindObject(uint8_t type) const {
    for (const auto& object : objects_) {
        if (object.type == type) {
            return &object;
        }
    }
    return nullptr;
}

uint8_t SimController::ReportIdOf(uint8_t type) const {
    const SimObject* object = FindObject(type);
    return object ? object->firstReportId : 0;
}

void SimController::SetMatrix(uint8_t xChannels, uint8_t yChannels) {
    memory_[4] = stored_[4] = xChannels;
    memory_[5] = stored_[5] = yChannels;
}

void SimController::SetPageOutOfStep(int page, int offset) {
    outOfStepPage_ = page >= 0 && page < kPageCount ? page : -1;
    outOfStepOffset_ = offset;
}

void SimController::ClearObjectState() {
    auto clear = [this](const std::optional<SimObject>& object) {
        if (object) {
            std::fill_n(memory_.begin() + object->address, object->size, 0);
        }
    };
    clear(messageObject_);
    clear(commandObject_);
    clear(diagnosticObject_);
    if (selfTestObject_ && selfTestObject_->size > 1) {
        memory_[selfTestObject_->address + 1] = 0;
    }
}

void SimController::PowerOn() {
    memory_ = stored_;
    ClearObjectState();
    messages_.clear();
    diagnosticMode_ = 0;
    page_ = 0;
    diagnosticBusyLeft_ = 0;
    for (uint8_t status : powerOnStatuses_) {
        QueueMessage(6, {status});
    }
}

void SimController::Reset() {
    ++counters_.resets;
    PowerOn();
}

void SimController::QueueMessage(uint8_t type, std::vector<uint8_t> bytes) {
    bytes.insert(bytes.begin(), ReportIdOf(type));
    QueueRaw(std::move(bytes));
}

void SimController::QueueRaw(std::vector<uint8_t> message) {
    messages_.push_back(std::move(message));
    while (messages_.size() > kMaxPendingMessages) {
        messages_.pop_front();
    }
}

std::optional<std::vector<uint8_t>> SimController::TakeMessage(uint8_t type) {
    const SimObject* object = FindObject(type);
    if (object == nullptr || object->firstReportId == 0) {
        return std::nullopt;
    }
    for (auto it = messages_.begin(); it != messages_.end(); ++it) {
        if (!it->empty() && (*it)[0] >= object->firstReportId && (*it)[0] <= object->lastReportId) {
            std::vector<uint8_t> message = std::move(*it);
            messages_.erase(it);
            return message;
        }
    }
    return std::nullopt;
}

std::vector<uint8_t> SimController::Read(uint16_t address, size_t count) {
    if (messageObject_ && Covers(address, count, messageObject_->address)) {
        TakeNextMessage();
    }
    // Drawn at read time so that a node changed on the panel shows at once.
    if (diagnosticObject_ && address < diagnosticObject_->address + diagnosticObject_->size &&
        address + count > diagnosticObject_->address) {
        RenderDiagnostic();
    }
    std::vector<uint8_t> bytes(count, 0);
    for (size_t i = 0; i < count; ++i) {
        const uint32_t at = address + static_cast<uint32_t>(i);
        if (at < memoryEnd_) {
            bytes[i] = memory_[at];
        }
    }
    if (commandObject_ && commandObject_->size > 5 &&
        Covers(address, count, commandObject_->address + 5u) && diagnosticBusyLeft_ > 0 &&
        --diagnosticBusyLeft_ == 0) {
        memory_[commandObject_->address + 5] = 0;
    }
    return bytes;
}

void SimController::TakeNextMessage() {
    uint8_t* shown = &memory_[messageObject_->address];
    std::fill_n(shown, messageObject_->size, 0);
    if (messages_.empty()) {
        shown[0] = kNoMessage;
        return;
    }
    const std::vector<uint8_t>& message = messages_.front();
    std::copy_n(message.begin(), std::min<size_t>(message.size(), messageObject_->size), shown);
    messages_.pop_front();
}

void SimController::Write(uint16_t address, std::span<const uint8_t> bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        const uint32_t at = address + static_cast<uint32_t>(i);
        if (at >= memoryEnd_) {
            break;
        }
        WriteByte(static_cast<uint16_t>(at), bytes[i]);
    }
}

bool SimController::IsPlainMemory(uint16_t address) const {
    auto inside = [address](const std::optional<SimObject>& object) {
        return object && Covers(object->address, object->size, address);
    };
    return address >= tableEnd_ && address < memoryEnd_ && !inside(messageObject_) &&
           !inside(diagnosticObject_);
}

void SimController::WriteByte(uint16_t address, uint8_t value) {
    if (commandObject_ && Covers(commandObject_->address, commandObject_->size, address)) {
        WriteCommandByte(address - commandObject_->address, value);
        return;
    }
    if (selfTestObject_ && selfTestObject_->size > 1 && address == selfTestObject_->address + 1 &&
        value == kPinTestCode) {
        RunPinTest();
        return;
    }
    if (IsPlainMemory(address)) {
        memory_[address] = value;
    }
}

void SimController::WriteCommandByte(int offset, uint8_t value) {
    uint8_t& byte = memory_[commandObject_->address + offset];
    switch (offset) {
        case 0:
            byte = 0;
            if (value != 0) {
                Reset();
            }
            return;
        case 1:
            byte = 0;
            if (value == kCommitCode) {
                ++counters_.commits;
                stored_ = memory_;
            }
            return;
        case 2:
            byte = 0;
            if (value != 0) {
                ++counters_.calibrations;
                for (uint8_t status : calibrationStatuses_) {
                    QueueMessage(6, {status});
                }
            }
            return;
        case 3:
            byte = 0;
            if (value != 0) {
                ++counters_.reportAlls;
                QueueMessage(6, {0});
                QueueMessage(25, {0});
                QueueMessage(46, {0});
                QueueMessage(6, {0});
            }
            return;
        case 5:
            byte = 0;
            if (value != 0) {
                RunDiagnosticCommand(value);
                diagnosticBusyLeft_ = diagnosticBusyReads_;
                if (diagnosticBusyReads_ != 0) {
                    byte = value;
                }
            }
            return;
        default:
            byte = value;
            return;
    }
}

void SimController::RunDiagnosticCommand(uint8_t code) {
    ++counters_.diagnosticCommands;
    if (code == kNextPageCode || code == kPreviousPageCode) {
        if (diagnosticMode_ == kReferenceDataCode) {
            StepPage(code == kNextPageCode ? 1 : -1);
        }
    } else {
        diagnosticMode_ = code;
        page_ = 0;
        if (code == kReferenceDataCode) {
            ++referenceEntries_;
            StepPage(0);
        }
    }
}

void SimController::StepPage(int step) {
    int page = ((page_ + step) % kPageCount + kPageCount) % kPageCount;
    if (step >= 0 && page == outOfStepPage_) {
        page = ((page + outOfStepOffset_) % kPageCount + kPageCount) % kPageCount;
    }
    page_ = page;
}

void SimController::RenderDiagnostic() {
    if (!diagnosticObject_) {
        return;
    }
    uint8_t* object = &memory_[diagnosticObject_->address];
    const int size = diagnosticObject_->size;
    std::fill_n(object, size, 0);
    object[0] = diagnosticMode_;
    if (size > 1) {
        object[1] = static_cast<uint8_t>(page_);
    }
    if (diagnosticMode_ != kReferenceDataCode) {
        return;
    }
    for (int i = 0; i < kPageNodes && 2 + 2 * i + 1 < size; ++i) {
        const uint16_t value = panel_.NodeAt(page_ * kPageNodes + i);
        object[2 + 2 * i] = static_cast<uint8_t>(value & 0xFF);
        object[3 + 2 * i] = static_cast<uint8_t>(value >> 8);
    }
}

void SimController::RunPinTest() {
    ++counters_.selfTests;
    memory_[selfTestObject_->address + 1] = 0;
    const SelfTestResult& result = panel_.SelfTest();
    QueueMessage(25, {result.code, result.kind, result.x, result.y});
}
