#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

class MemoryPort;
class StatusLog;

// Where one object type lives: the first table entry of that type. index 0 means the type has
// not been seen in any table read so far.
struct ObjectLookup {
    uint8_t index = 0;     // 1-based table entry
    uint16_t address = 0;  // start address in controller memory
    uint8_t size = 0;      // size in bytes, 8 bits (an object of 256 bytes reads as 0)
};

// The controller's information header and object table, one per board connection. Filled by
// CheckUsbLink, ReadObjectTable and ParseObjectTable during the bring-up; read by everything
// that addresses a controller object. Written on the UI thread only; the reader thread routes
// pushed messages through its own copy (SelfTest::UseTable).
class ObjectTable {
public:
    static constexpr size_t kImageSize = 391;
    static constexpr int kMaxObjects = 64;
    static constexpr int kHeaderSize = 7;
    static constexpr int kEntrySize = 6;
    // 32 x 52 nodes in pages of 64: the only matrix the station tests.
    static constexpr int kExpectedPageCount = 26;

    // Controller memory from address 0: the header and up to 64 entries at their own offsets.
    std::array<uint8_t, kImageSize> image{};
    // Header byte 6, kept at most 64 so that no read or look-up goes past image.
    uint8_t objectCount = 0;
    // matrixX * matrixY / 64, saturated at 255.
    uint8_t pageCount = 0;
    // objectCount / 10: whole 60-byte reads of the table.
    uint8_t fullChunks = 0;

    // Per-object arrays, index 1..objectCount (index 0 unused).
    std::array<uint8_t, kMaxObjects + 1> type_IC{};
    std::array<uint16_t, kMaxObjects + 1> StartAddress{};
    std::array<uint8_t, kMaxObjects + 1> size_Object{};
    std::array<uint8_t, kMaxObjects + 1> instances{};
    std::array<uint8_t, kMaxObjects + 1> ID_perInstance{};
    std::array<uint8_t, kMaxObjects + 1> report_L{};
    std::array<uint8_t, kMaxObjects + 1> report_H{};

    // First entry of each type the system addresses. A type missing from the latest table
    // keeps the value of an earlier one: use Contains() before writing to an object.
    ObjectLookup messageObject;     // type 5
    ObjectLookup commandObject;     // type 6
    ObjectLookup object9;           // type 9
    ObjectLookup object15;          // type 15
    ObjectLookup selfTestObject;    // type 25
    ObjectLookup diagnosticObject;  // type 37
    ObjectLookup object38;          // type 38, the first configuration object
    ObjectLookup object46;          // type 46
    ObjectLookup object62;          // type 62

    // Takes the 7 header bytes: copies them into image and sets objectCount, pageCount and
    // fullChunks. True when the matrix gives 26 pages.
    bool AcceptHeader(const uint8_t* header);

    // Entry i (1-based) read straight from image; 0 for i outside 1..objectCount.
    uint8_t ObjectType(int i) const;
    uint16_t ObjectAddress(int i) const;
    uint8_t ObjectSize(int i) const;  // entry byte 3 + 1, in 8 bits
    uint8_t ObjectInstances(int i) const;
    uint8_t ObjectReportIds(int i) const;

    // Fills the per-object arrays, the report-ID ranges (in table order from 1, 8-bit) and
    // the by-type look-ups from image.
    void ParseObjectTable();

    // 1-based index of the first object owning report ID id; 0 for id 0, 0xFF or no owner.
    int ObjectForReportId(uint8_t id) const;
    // id is not 0xFF and lies in the report IDs of the first entry of this type. Later
    // entries of the type never match.
    bool MessageFromType(uint8_t id, uint8_t type) const;
    // The latest table holds an entry of this type.
    bool Contains(uint8_t type) const;
    // Index of the first entry of this type in the latest table, 0 when none.
    int FirstOfType(uint8_t type) const;
};

// Reads the information header (ReadMemory(0, 7)) up to 15 times until it reports the 32 x 52
// matrix. Passed: appends "USB连接正常" with time stamp. Failed (15 other matrices, or one
// transaction that fails: no answer is no link): appends "USB异常，请重新连接USB电缆" and
// returns false; closing the board is the caller's. UI thread.
bool CheckUsbLink(MemoryPort& memory, ObjectTable& table, StatusLog& log);

// Reads the table into image: objectCount / 10 reads of 60 bytes from address 7, then the
// remaining entries. Stops at the first chunk that is not answered (its bytes and the later
// ones keep their old contents) and returns false: the table is then not to be trusted.
// UI thread.
bool ReadObjectTable(MemoryPort& memory, ObjectTable& table);
