// Any bytes as controller memory from address 0 (header and object table, padded with zeros to
// 391 bytes), read and parsed into a table that held the station's layout before, as after a
// re-connection: the header check passes exactly for 26 pages, the table reads stay within 64
// entries, the parse clears what the old table left, report IDs are handed out in table order
// while they fit in a byte, 0 and 0xFF are nobody's, only the first entry of a type answers
// for it, and a type the new table lacks keeps its old look-up.
#include <algorithm>
#include <array>
#include <cstdint>
#include <ctime>
#include <span>
#include <utility>

#include "app/StatusLog.h"
#include "controller/ObjectTable.h"
#include "fuzz/FuzzSupport.h"

namespace {

using Image = std::array<uint8_t, ObjectTable::kImageSize>;

// Controller memory that holds nothing but the image: a read past it is a fault.
class ImagePort : public MemoryPort {
public:
    explicit ImagePort(const Image& image) : image_(image) {}

    bool ReadMemory(uint16_t address, uint8_t count) override {
        Require(count >= 1 && count <= 60 && address + count <= image_.size(),
                "a table read goes past the 64th entry");
        answer_.fill(0);
        answer_[0] = 1;
        std::copy_n(image_.begin() + address, count, answer_.begin() + 3);
        ++reads;
        return true;
    }
    bool WriteMemory(uint16_t, std::span<const uint8_t>, int) override {
        Require(false, "reading the table wrote to the controller");
        return false;
    }
    const InputReport& Answer() const override { return answer_; }

    int reads = 0;

private:
    const Image& image_;
    InputReport answer_{};
};

struct Entry {
    uint8_t type;
    uint16_t address;
    uint8_t size;
    uint8_t instances;
    uint8_t ids;
};

Entry EntryOf(const Image& image, int i) {
    const uint8_t* e = image.data() + ObjectTable::kHeaderSize + ObjectTable::kEntrySize * (i - 1);
    return {e[0], static_cast<uint16_t>(e[1] | e[2] << 8), static_cast<uint8_t>(e[3] + 1),
            static_cast<uint8_t>(e[4] + 1), e[5]};
}

const ObjectTable& EarlierTable() {
    static const ObjectTable table = ParsedTable(StationTableImage());
    return table;
}

void CheckHeaderAndRead(const Image& image, ObjectTable& table) {
    ImagePort port(image);
    StatusLog log{[] { return std::tm{}; }};
    const bool passed = CheckUsbLink(port, table, log);
    const int pages = image[4] * image[5] / 64;
    Require(passed == (pages == ObjectTable::kExpectedPageCount),
            "the link check does not pass exactly for 26 pages");
    Require(port.reads == (passed ? 1 : 15), "the header was not read until it passed, 15 times");
    Require(
        log.Text() == (passed ? "USB连接正常 (00:00:00)\r\n" : "USB异常，请重新连接USB电缆\r\n"),
        "the link check logged something else than its one line");
    Require(std::equal(image.begin(), image.begin() + 7, table.image.begin()),
            "the header is not in the image");
    const int count = std::min<int>(image[6], ObjectTable::kMaxObjects);
    Require(table.objectCount == count && table.fullChunks == count / 10 &&
                table.pageCount == std::min(pages, 255),
            "the header fields do not follow its bytes");

    port.reads = 0;
    Require(ReadObjectTable(port, table), "reading a table from answering memory failed");
    Require(port.reads == count / 10 + (count % 10 != 0 ? 1 : 0),
            "the table is not read in 60-byte chunks and one rest");
    const size_t used = ObjectTable::kHeaderSize + ObjectTable::kEntrySize * count;
    Require(std::equal(image.begin(), image.begin() + used, table.image.begin()) &&
                std::equal(table.image.begin() + used, table.image.end(),
                           EarlierTable().image.begin() + used),
            "the read changed other bytes than the new table's");
}

// Checks the per-object arrays and the report-ID ranges. Returns the owner of every report ID
// as handed out in table order, and whether that numbering fitted in 1..255 (8-bit values
// wrap beyond, and a wrapped table owns IDs in no order the controller could have meant).
std::pair<std::array<int, 256>, bool> CheckEntries(const Image& image, const ObjectTable& table) {
    const int count = table.objectCount;
    for (int i = 0; i <= ObjectTable::kMaxObjects; ++i) {
        if (i >= 1 && i <= count) {
            continue;
        }
        Require(table.type_IC[i] == 0 && table.StartAddress[i] == 0 && table.size_Object[i] == 0 &&
                    table.instances[i] == 0 && table.ID_perInstance[i] == 0 &&
                    table.report_L[i] == 0 && table.report_H[i] == 0,
                "an entry outside the table keeps values");
    }
    for (const int i : {-1, 0, count + 1, ObjectTable::kMaxObjects + 1, 1000}) {
        Require(table.ObjectType(i) == 0 && table.ObjectAddress(i) == 0 &&
                    table.ObjectSize(i) == 0 && table.ObjectInstances(i) == 0 &&
                    table.ObjectReportIds(i) == 0,
                "an accessor outside the table reads something");
    }

    std::array<int, 256> owner{};
    int handedOut = 0;
    bool fits = true;
    for (int i = 1; i <= count; ++i) {
        const Entry e = EntryOf(image, i);
        Require(table.type_IC[i] == e.type && table.ObjectType(i) == e.type &&
                    table.StartAddress[i] == e.address && table.ObjectAddress(i) == e.address &&
                    table.size_Object[i] == e.size && table.ObjectSize(i) == e.size &&
                    table.instances[i] == e.instances && table.ObjectInstances(i) == e.instances &&
                    table.ID_perInstance[i] == e.ids && table.ObjectReportIds(i) == e.ids,
                "an entry's fields do not follow its bytes");
        if (e.ids == 0) {
            Require(table.report_L[i] == 0 && table.report_H[i] == 0,
                    "an object that sends no messages owns report IDs");
            continue;
        }
        // 256 instances read as 0 in the byte array, but own IDs all the same.
        const int instances = e.instances == 0 ? 256 : e.instances;
        const int first = handedOut + 1;
        handedOut += instances * e.ids;
        fits = fits && handedOut <= 255;
        if (fits) {
            Require(table.report_L[i] == first && table.report_H[i] == handedOut,
                    "report IDs are not handed out in table order");
            for (int id = first; id <= std::min(handedOut, 254); ++id) {
                owner[id] = i;
            }
        }
    }
    return {owner, fits};
}

void CheckReportIdLookups(const ObjectTable& table, const std::array<int, 256>& owner, bool fits) {
    for (int id = 0; id < 256; ++id) {
        const int found = table.ObjectForReportId(static_cast<uint8_t>(id));
        if (id == 0 || id == 0xFF) {
            Require(found == 0, "report ID 0 or 0xFF has an owner");
            continue;
        }
        if (fits) {
            Require(found == owner[id], "a report ID is given to the wrong object");
            continue;
        }
        auto owns = [&](int i) { return table.report_L[i] <= id && id <= table.report_H[i]; };
        Require(found >= 0 && found <= table.objectCount, "an owner outside the table");
        Require(found == 0 || owns(found), "an owner that does not hold the report ID");
        for (int i = 1; i < (found == 0 ? table.objectCount + 1 : found); ++i) {
            Require(!owns(i), "an owner that is not the first to hold the report ID");
        }
    }
}

void CheckTypeLookups(const Image& image, const ObjectTable& table,
                      const std::array<int, 256>& owner, bool fits) {
    std::array<int, 256> firstOfType{};
    for (int i = table.objectCount; i >= 1; --i) {
        firstOfType[EntryOf(image, i).type] = i;
    }
    for (int type = 0; type < 256; ++type) {
        const int first = firstOfType[type];
        Require(table.FirstOfType(static_cast<uint8_t>(type)) == first,
                "the first entry of a type is not found");
        if (first == 0) {
            // Any ID would do: an absent type owns none.
            Require(!table.MessageFromType(1, static_cast<uint8_t>(type)) &&
                        !table.MessageFromType(0x80, static_cast<uint8_t>(type)),
                    "a message is taken for a type the table lacks");
            continue;
        }
        const uint8_t low = table.report_L[first];
        const uint8_t high = table.report_H[first];
        const uint8_t ids[] = {0,
                               1,
                               0xFE,
                               0xFF,
                               static_cast<uint8_t>(low - 1),
                               low,
                               static_cast<uint8_t>((low + high) / 2),
                               high,
                               static_cast<uint8_t>(high + 1)};
        for (const uint8_t id : ids) {
            const bool expected = id != 0 && id != 0xFF && low <= id && id <= high;
            Require(table.MessageFromType(id, static_cast<uint8_t>(type)) == expected,
                    "a message is taken for the wrong entry of its type");
            Require(!expected || !fits || owner[id] == first,
                    "a type's message belongs to another object");
        }
    }

    const std::pair<uint8_t, ObjectLookup ObjectTable::*> lookups[] = {
        {5, &ObjectTable::messageObject},   {6, &ObjectTable::commandObject},
        {9, &ObjectTable::object9},         {15, &ObjectTable::object15},
        {25, &ObjectTable::selfTestObject}, {37, &ObjectTable::diagnosticObject},
        {38, &ObjectTable::object38},       {46, &ObjectTable::object46},
        {62, &ObjectTable::object62},
    };
    for (const auto& [type, member] : lookups) {
        Require(table.Contains(type) == (firstOfType[type] != 0),
                "a type is said to be there or missing when it is not");
        const ObjectLookup& lookup = table.*member;
        ObjectLookup expected = EarlierTable().*member;
        if (const int first = firstOfType[type]; first != 0) {
            const Entry e = EntryOf(image, first);
            expected = {static_cast<uint8_t>(first), e.address, e.size};
        }
        Require(lookup.index == expected.index && lookup.address == expected.address &&
                    lookup.size == expected.size,
                "a look-up is not the first entry of its type, or lost its earlier value");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Image image{};
    std::copy_n(data, std::min(size, image.size()), image.begin());

    ObjectTable table = EarlierTable();
    CheckHeaderAndRead(image, table);
    table.ParseObjectTable();
    const auto [owner, fits] = CheckEntries(image, table);
    CheckReportIdLookups(table, owner, fits);
    CheckTypeLookups(image, table, owner, fits);
    return 0;
}
