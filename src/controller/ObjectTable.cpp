#include "controller/ObjectTable.h"

#include <algorithm>
#include <utility>

#include "app/StatusLog.h"
#include "controller/MemoryPort.h"

namespace {

constexpr int kLinkAttempts = 15;
constexpr int kTableChunk = 60;
constexpr uint8_t kNoMessage = 0xFF;

}  // namespace

bool ObjectTable::AcceptHeader(const uint8_t* header) {
    std::copy(header, header + kHeaderSize, image.begin());
    objectCount = std::min<uint8_t>(header[6], kMaxObjects);
    // Computed wide: a byte would wrap, and a 141 x 128 matrix would pass as 26 pages.
    const int pages = header[4] * header[5] / 64;
    pageCount = static_cast<uint8_t>(std::min(pages, 255));
    fullChunks = objectCount / 10;
    return pages == kExpectedPageCount;
}

uint8_t ObjectTable::ObjectType(int i) const {
    return i >= 1 && i <= objectCount ? image[kHeaderSize + kEntrySize * (i - 1)] : 0;
}

uint16_t ObjectTable::ObjectAddress(int i) const {
    if (i < 1 || i > objectCount) {
        return 0;
    }
    const size_t at = kHeaderSize + kEntrySize * (i - 1);
    return static_cast<uint16_t>(image[at + 1] | image[at + 2] << 8);
}

uint8_t ObjectTable::ObjectSize(int i) const {
    if (i < 1 || i > objectCount) {
        return 0;
    }
    return static_cast<uint8_t>(image[kHeaderSize + kEntrySize * (i - 1) + 3] + 1);
}

uint8_t ObjectTable::ObjectInstances(int i) const {
    if (i < 1 || i > objectCount) {
        return 0;
    }
    return static_cast<uint8_t>(image[kHeaderSize + kEntrySize * (i - 1) + 4] + 1);
}

uint8_t ObjectTable::ObjectReportIds(int i) const {
    return i >= 1 && i <= objectCount ? image[kHeaderSize + kEntrySize * (i - 1) + 5] : 0;
}

void ObjectTable::ParseObjectTable() {
    type_IC.fill(0);
    StartAddress.fill(0);
    size_Object.fill(0);
    instances.fill(0);
    ID_perInstance.fill(0);
    report_L.fill(0);
    report_H.fill(0);

    uint8_t last = 0;
    for (int i = 1; i <= objectCount; ++i) {
        type_IC[i] = ObjectType(i);
        StartAddress[i] = ObjectAddress(i);
        size_Object[i] = ObjectSize(i);
        instances[i] = ObjectInstances(i);
        ID_perInstance[i] = ObjectReportIds(i);
        if (ID_perInstance[i] != 0) {
            report_L[i] = static_cast<uint8_t>(last + 1);
            report_H[i] = static_cast<uint8_t>(report_L[i] + instances[i] * ID_perInstance[i] - 1);
            last = report_H[i];
        }
    }

    const std::pair<uint8_t, ObjectLookup*> lookups[] = {
        {5, &messageObject}, {6, &commandObject},   {9, &object9},
        {15, &object15},     {25, &selfTestObject}, {37, &diagnosticObject},
        {38, &object38},     {46, &object46},       {62, &object62},
    };
    for (const auto& [type, lookup] : lookups) {
        if (const int i = FirstOfType(type); i != 0) {
            *lookup = {static_cast<uint8_t>(i), ObjectAddress(i), ObjectSize(i)};
        }
    }
}

int ObjectTable::ObjectForReportId(uint8_t id) const {
    if (id == 0 || id == kNoMessage) {
        return 0;
    }
    for (int i = 1; i <= objectCount; ++i) {
        if (report_L[i] <= id && id <= report_H[i]) {
            return i;
        }
    }
    return 0;
}

bool ObjectTable::MessageFromType(uint8_t id, uint8_t type) const {
    // Report ID 0 is nobody's: without this an object that sends no messages (range 0-0)
    // would claim it.
    if (id == 0 || id == kNoMessage) {
        return false;
    }
    for (int i = 1; i <= objectCount; ++i) {
        if (type_IC[i] == type) {
            return report_L[i] <= id && id <= report_H[i];
        }
    }
    return false;
}

bool ObjectTable::Contains(uint8_t type) const {
    return FirstOfType(type) != 0;
}

int ObjectTable::FirstOfType(uint8_t type) const {
    for (int i = 1; i <= objectCount; ++i) {
        if (ObjectType(i) == type) {
            return i;
        }
    }
    return 0;
}

bool CheckUsbLink(MemoryPort& memory, ObjectTable& table, StatusLog& log) {
    for (int attempt = 0; attempt < kLinkAttempts; ++attempt) {
        // A header request that cannot be sent or is not answered means there is no board to
        // talk to; repeating it would only hold up the UI thread.
        if (!memory.ReadMemory(0, ObjectTable::kHeaderSize)) {
            break;
        }
        if (table.AcceptHeader(memory.Answer().data() + 3)) {
            log.AppendLog("USB连接正常", 1, 1);
            return true;
        }
    }
    log.AppendLog("USB异常，请重新连接USB电缆", 0, 1);
    return false;
}

bool ReadObjectTable(MemoryPort& memory, ObjectTable& table) {
    auto readInto = [&](int offset, int count) {
        if (!memory.ReadMemory(static_cast<uint16_t>(offset), static_cast<uint8_t>(count))) {
            return false;
        }
        const auto& answer = memory.Answer();
        std::copy(answer.begin() + 3, answer.begin() + 3 + count, table.image.begin() + offset);
        return true;
    };
    for (int k = 0; k < table.fullChunks; ++k) {
        if (!readInto(ObjectTable::kHeaderSize + kTableChunk * k, kTableChunk)) {
            return false;
        }
    }
    const int rest = table.objectCount - 10 * table.fullChunks;
    if (rest > 0) {
        return readInto(ObjectTable::kHeaderSize + kTableChunk * table.fullChunks,
                        rest * ObjectTable::kEntrySize);
    }
    return true;
}
