#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class ControllerCommands;
class ObjectTable;

// Controller configuration files (.xcfg): the records between file and controller, the file's
// writer and reader.

// One configuration object: bytes 0-1 its start address (low byte first), byte 2 its size in
// bytes (at most xcfg::kMaxObjectBytes), bytes 3 .. 3 + size - 1 its bytes from offset 0.
using ConfigRecord = std::array<uint8_t, 256>;

namespace xcfg {
constexpr int kMaxRecords = 64;
constexpr int kMaxObjectBytes = 253;  // what a ConfigRecord holds after its 3-byte head

// The texts the programming window shows.
constexpr std::string_view kNotOpenable = "打开烧录文件失败！";
constexpr std::string_view kRejected = "烧录文件不正确！";
constexpr std::string_view kHeaderMissing = "烧录文件头错误！";
constexpr std::string_view kObjectTooLarge = "烧录文件对象超过253字节！";
constexpr std::string_view kTooManyObjects = "烧录文件对象超过64个！";
constexpr std::string_view kSaveFailed = "保存失败！";  // follows the path
constexpr std::string_view kChipReadFailed = "读取芯片配置失败！";
constexpr std::string_view kMoreRecordsThanObjects = "烧录文件对象多于芯片对象！";
constexpr std::string_view kProgramFailed = "烧录失败！";

// Transfers move an object in reads and writes of this many bytes.
constexpr int kChunkBytes = 58;
// Sleep after each answered read of a chunk.
constexpr int kChunkReadSleepMs = 10;
// Settle time after each written chunk.
constexpr int kChunkSettleMs = 10;
}  // namespace xcfg

// The record sets the station holds for the programming window; they keep their contents
// between openings of the window. UI thread only.
struct ConfigRecordSets {
    // Filled by LoadXcfg, one per object section in file order; only the first
    // fileRecordCount are meaningful.
    std::array<ConfigRecord, xcfg::kMaxRecords> fileRecords{};
    uint8_t fileRecordCount = 0;
    // Filled by ReadChipConfiguration: record i for object table entry i + 1.
    std::array<ConfigRecord, xcfg::kMaxRecords> chipRecords{};
    // Percentage (0..100) of records the last WriteChipConfiguration programmed.
    int programProgress = 0;
};

// What the file's writer needs of the controller's information header and object table.
struct XcfgObject {
    uint8_t type = 0;
    uint16_t address = 0;
    uint8_t size = 0;  // 8 bits, as the table gives it
};
struct XcfgTableView {
    // Header bytes 0-3: FAMILY_ID, VARIANT, VERSION, BUILD.
    std::array<uint8_t, 4> version{};
    // Table entry i at objects[i - 1]; at most xcfg::kMaxRecords entries are used.
    std::vector<XcfgObject> objects;
};

// The header bytes and entries 1..objectCount of a parsed table.
XcfgTableView ViewOfTable(const ObjectTable& table);

// The 1-based table entries a saved file holds, in file order: the first entry of type 37,
// the first of type 38, then every entry after that type-38 entry. An entry is written once
// even when the type-37 entry comes after the type-38 one.
std::vector<int> SectionsToWrite(const XcfgTableView& table);

// The whole text of a saved file (lines ended by CR LF) for the table and the chip records
// read from it. Empty when a section to be written is larger than a record holds.
std::optional<std::string> FormatXcfg(const XcfgTableView& table,
                                      const std::array<ConfigRecord, xcfg::kMaxRecords>& chip);

enum class XcfgVerdict { Accepted, Rejected, HeaderMissing, NotOpenable };

struct XcfgLoadResult {
    XcfgVerdict verdict = XcfgVerdict::NotOpenable;
    std::string message;  // empty when accepted, else the text to show (xcfg::k...)
    int line = 0;         // 1-based line at which reading stopped on a rejection, else 0
};

// Reads a .xcfg file into sets.fileRecords. Only an accepted file changes fileRecords; every
// other verdict leaves fileRecordCount 0, so nothing of it can be programmed.
//
// Accepted needs: a COMMENTS section before any other non-object section; at least one line
// in a non-object section once COMMENTS has been seen; object types (the two characters
// after the second "_T" of the header if there is one, else after the first) in 1..100; at
// most 64 object sections; and every object section complete and in the order the writer
// uses: OBJECT_ADDRESS, OBJECT_SIZE (at most 253), then data lines "offset count DATA=value"
// with count 1 or 2, each at the offset the bytes before it reach, until the size is filled.
// Numbers are plain decimal and must fit their bytes. Anything else in an object section
// rejects the file, since its bytes would reach the controller at the wrong place.
XcfgLoadResult LoadXcfg(const std::string& path, ConfigRecordSets& sets);

// As LoadXcfg, on the file's text.
XcfgLoadResult ParseXcfg(std::string_view text, ConfigRecordSets& sets);

// Outcome of a save or a programming: on failure, the text to show.
struct XcfgOutcome {
    bool ok = false;
    std::string message;
};

// Fills sets.chipRecords from the controller: for table entry i, record i - 1 gets the
// entry's address and size, and the object's bytes read in chunks of 58 with a 10 ms sleep
// after each answered chunk. An object larger than a record holds gets address and size
// only. Stops at the first chunk that is not answered (the rest of the records keep what they
// held) and returns false. UI thread; blocks for about 10 ms per chunk plus the link's time.
bool ReadChipConfiguration(ControllerCommands& controller, ConfigRecordSets& sets);

// Saves the connected controller's configuration as a .xcfg file at path. Refuses, before
// reading anything, a controller whose objects to be saved are larger than a record holds;
// reads the chip configuration (a failure leaves an existing file as it was); then creates
// or truncates the file and writes it in one go. Failure texts: kObjectTooLarge,
// kChipReadFailed, or path + kSaveFailed when the file cannot be created or written (a
// partly written plain file is removed; a link or device at path stays). UI thread.
XcfgOutcome SaveXcfg(const std::string& path, ControllerCommands& controller,
                     ConfigRecordSets& sets);

// Programs the first fileRecordCount records into the controller at the addresses they name,
// in file order, in chunks of 58 bytes with a 10 ms settle each; sets programProgress to
// (i + 1) * 100 / n, truncated, after record i and calls onProgress with it; then commits the
// configuration and resets the controller.
//
// Nothing is written when the records do not fit (more than 64, more than the table's
// objects, an object larger than 253 bytes or running past address 0xFFFF). A chunk that
// fails ends the programming without a commit and resets the controller, so that it drops
// the partly written configuration and runs on the stored one; the result is then
// kProgramFailed. UI thread; blocks for the whole programming (about 10 ms per chunk).
XcfgOutcome WriteChipConfiguration(ControllerCommands& controller, ConfigRecordSets& sets,
                                   const std::function<void(int percent)>& onProgress = {});
