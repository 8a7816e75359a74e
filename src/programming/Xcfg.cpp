#include "programming/Xcfg.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <span>

#include "app/Format.h"
#include "app/Sleeper.h"
#include "controller/ControllerCommands.h"
#include "controller/ObjectTable.h"

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr uint8_t kDiagnosticType = 37;
constexpr uint8_t kFirstConfigType = 38;

std::string_view TrimRight(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view TrimLeft(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    return text;
}

// Decimal digits only, after optional leading blanks.
bool IsDecimal(std::string_view text) {
    text = TrimLeft(text);
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A decimal number no larger than max; nothing the C conversion would quietly turn into
// another number ("0x12" as 0, "300" as a byte) gets through.
std::optional<int> ParseDecimal(std::string_view text, int max) {
    if (!IsDecimal(text)) {
        return std::nullopt;
    }
    int value = 0;
    for (const char c : TrimLeft(text)) {
        const int digit = c - '0';
        if (value > (max - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

// Reads a file line by line into a bounded set of records. Every byte lands through one of
// the stage checks, so no line can place a byte past the object it belongs to.
class XcfgParser {
public:
    explicit XcfgParser(std::vector<ConfigRecord>& records) : records_(records) {}

    // False once the file is rejected; later lines are not to be fed.
    bool Feed(std::string_view rawLine) {
        ++lineNumber_;
        const std::string_view line = TrimRight(rawLine);
        if (line.empty()) {
            return true;
        }
        if (line.front() == '[' && line.find(']', 1) != std::string_view::npos) {
            return OnSectionHeader(line);
        }
        if (inObject_) {
            return OnObjectLine(line);
        }
        if (inOther_ && commentsSeen_) {
            headerSeen_ = true;
        }
        return true;
    }

    XcfgLoadResult Finish() {
        if (result_.verdict == XcfgVerdict::Rejected) {
            return result_;
        }
        if (!EndObject()) {
            return result_;
        }
        if (!headerSeen_) {
            return {XcfgVerdict::HeaderMissing, std::string(xcfg::kHeaderMissing), 0};
        }
        return {XcfgVerdict::Accepted, {}, 0};
    }

    int RecordCount() const { return recordCount_; }

private:
    enum class Stage { Address, Size, Data, Complete };

    bool Reject(std::string_view message) {
        result_ = {XcfgVerdict::Rejected, std::string(message), lineNumber_};
        return false;
    }

    // A section may only end once its object is whole: a short object would program whatever
    // its record held before.
    bool EndObject() {
        if (inObject_ && stage_ != Stage::Complete) {
            return Reject(xcfg::kRejected);
        }
        return true;
    }

    bool OnSectionHeader(std::string_view line) {
        if (!EndObject()) {
            return false;
        }
        const size_t firstT = line.find("_T", 1);
        if (firstT != std::string_view::npos &&
            line.find("INSTANCE", 1) != std::string_view::npos) {
            const size_t secondT = line.find("_T", firstT + 2);
            const size_t typeAt = (secondT != std::string_view::npos ? secondT : firstT) + 2;
            const int64_t type = ParseLeadingInteger(line.substr(typeAt, 2));
            if (type < 1 || type > 100) {
                return Reject(xcfg::kRejected);
            }
            if (recordCount_ == xcfg::kMaxRecords) {
                return Reject(xcfg::kTooManyObjects);
            }
            records_[recordCount_].fill(0);
            ++recordCount_;
            inObject_ = true;
            inOther_ = false;
            stage_ = Stage::Address;
            return true;
        }
        inObject_ = false;
        inOther_ = true;
        if (line.find("COMMENTS", 1) != std::string_view::npos) {
            commentsSeen_ = true;
        } else if (!commentsSeen_) {
            return Reject(xcfg::kRejected);
        }
        return true;
    }

    bool OnObjectLine(std::string_view line) {
        const size_t equals = line.find('=');
        const std::string_view key = line.substr(0, equals);
        const std::string_view value =
            equals == std::string_view::npos ? std::string_view() : line.substr(equals + 1);
        ConfigRecord& record = records_[recordCount_ - 1];

        if (key == "OBJECT_ADDRESS") {
            const auto address = ParseDecimal(value, 0xFFFF);
            if (stage_ != Stage::Address || !address) {
                return Reject(xcfg::kRejected);
            }
            address_ = *address;
            record[0] = static_cast<uint8_t>(address_ & 0xFF);
            record[1] = static_cast<uint8_t>(address_ >> 8);
            stage_ = Stage::Size;
            return true;
        }
        if (key == "OBJECT_SIZE") {
            if (stage_ != Stage::Size || !IsDecimal(value)) {
                return Reject(xcfg::kRejected);
            }
            const auto size = ParseDecimal(value, xcfg::kMaxObjectBytes);
            if (!size) {
                return Reject(xcfg::kObjectTooLarge);
            }
            // An object running past the top of the address space would wrap to address 0.
            if (address_ + *size > 0x10000) {
                return Reject(xcfg::kRejected);
            }
            size_ = *size;
            filled_ = 0;
            record[2] = static_cast<uint8_t>(size_);
            stage_ = size_ == 0 ? Stage::Complete : Stage::Data;
            return true;
        }
        return OnDataLine(key, value, record);
    }

    // "offset count DATA=value": the bytes go where the bytes before them end, which is also
    // where the offset must say they belong.
    bool OnDataLine(std::string_view key, std::string_view value, ConfigRecord& record) {
        if (stage_ != Stage::Data) {
            return Reject(xcfg::kRejected);
        }
        const size_t blank = key.find(' ');
        if (blank == std::string_view::npos || blank + 1 >= key.size()) {
            return Reject(xcfg::kRejected);
        }
        const auto offset = ParseDecimal(key.substr(0, blank), xcfg::kMaxObjectBytes);
        const char countChar = key[blank + 1];
        const int count = countChar == '1' ? 1 : countChar == '2' ? 2 : 0;
        if (!offset || count == 0 || *offset != filled_ || filled_ + count > size_) {
            return Reject(xcfg::kRejected);
        }
        const auto data = ParseDecimal(value, count == 1 ? 0xFF : 0xFFFF);
        if (!data) {
            return Reject(xcfg::kRejected);
        }
        record[3 + filled_] = static_cast<uint8_t>(*data & 0xFF);
        if (count == 2) {
            record[4 + filled_] = static_cast<uint8_t>(*data >> 8);
        }
        filled_ += count;
        if (filled_ == size_) {
            stage_ = Stage::Complete;
        }
        return true;
    }

    std::vector<ConfigRecord>& records_;
    XcfgLoadResult result_{XcfgVerdict::Accepted, {}, 0};
    int lineNumber_ = 0;
    int recordCount_ = 0;
    bool inObject_ = false;
    bool inOther_ = false;
    bool commentsSeen_ = false;
    bool headerSeen_ = false;
    Stage stage_ = Stage::Complete;
    int address_ = 0;
    int size_ = 0;
    int filled_ = 0;
};

// Runs the parser over the lines nextLine gives and hands an accepted file's records over.
// readFailed tells, after the last line, whether the lines ran out through a read error.
XcfgLoadResult LoadLines(const std::function<bool(std::string&)>& nextLine,
                         const std::function<bool()>& readFailed, ConfigRecordSets& sets) {
    sets.fileRecordCount = 0;
    // Exactly as many records as a set holds, on the heap, so that a sanitizer sees any write
    // past the last one.
    std::vector<ConfigRecord> records(xcfg::kMaxRecords);
    XcfgParser parser(records);
    std::string line;
    while (nextLine(line)) {
        if (!parser.Feed(line)) {
            break;
        }
    }
    if (readFailed()) {
        return {XcfgVerdict::NotOpenable, std::string(xcfg::kNotOpenable), 0};
    }
    XcfgLoadResult result = parser.Finish();
    if (result.verdict == XcfgVerdict::Accepted) {
        std::copy_n(records.begin(), parser.RecordCount(), sets.fileRecords.begin());
        sets.fileRecordCount = static_cast<uint8_t>(parser.RecordCount());
    }
    return result;
}

void AppendLine(std::string& text, std::string_view line) {
    text += line;
    text += kLineEnd;
}

}  // namespace

XcfgTableView ViewOfTable(const ObjectTable& table) {
    XcfgTableView view;
    std::copy_n(table.image.begin(), view.version.size(), view.version.begin());
    for (int i = 1; i <= table.objectCount; ++i) {
        view.objects.push_back({table.ObjectType(i), table.ObjectAddress(i), table.ObjectSize(i)});
    }
    return view;
}

std::vector<int> SectionsToWrite(const XcfgTableView& table) {
    const int count = std::min<int>(static_cast<int>(table.objects.size()), xcfg::kMaxRecords);
    int diagnostic = 0;
    int firstConfig = 0;
    for (int i = 1; i <= count; ++i) {
        const uint8_t type = table.objects[i - 1].type;
        if (type == kDiagnosticType && diagnostic == 0) {
            diagnostic = i;
        }
        if (type == kFirstConfigType && firstConfig == 0) {
            firstConfig = i;
        }
    }
    std::vector<int> sections;
    if (diagnostic != 0) {
        sections.push_back(diagnostic);
    }
    if (firstConfig != 0) {
        sections.push_back(firstConfig);
        for (int i = firstConfig + 1; i <= count; ++i) {
            if (i != diagnostic) {
                sections.push_back(i);
            }
        }
    }
    return sections;
}

std::optional<std::string> FormatXcfg(const XcfgTableView& table,
                                      const std::array<ConfigRecord, xcfg::kMaxRecords>& chip) {
    const std::vector<int> sections = SectionsToWrite(table);
    for (const int i : sections) {
        if (table.objects[i - 1].size > xcfg::kMaxObjectBytes) {
            return std::nullopt;
        }
    }
    std::string text;
    AppendLine(text, "[COMMENTS]");
    AppendLine(text, "Saved by: Administrator");
    AppendLine(text, "");
    AppendLine(text, "[VERSION_INFO_HEADER]");
    AppendLine(text, "FAMILY_ID=" + FormatDecimal(table.version[0]));
    AppendLine(text, "VARIANT=" + FormatDecimal(table.version[1]));
    AppendLine(text, "VERSION=" + FormatDecimal(table.version[2]));
    AppendLine(text, "BUILD=" + FormatDecimal(table.version[3]));
    AppendLine(text, "VENDOR_ID=255");
    AppendLine(text, "PRODUCT_ID=TBD");
    AppendLine(text, "CHECKSUM=0x000000");
    for (const int i : sections) {
        const XcfgObject& object = table.objects[i - 1];
        const ConfigRecord& record = chip[i - 1];
        AppendLine(text, "[UNKNOWN_T" + FormatDecimal(object.type) + " INSTANCE 0]");
        AppendLine(text, "OBJECT_ADDRESS=" + FormatDecimal(object.address));
        AppendLine(text, "OBJECT_SIZE=" + FormatDecimal(object.size));
        for (int k = 0; k < object.size; ++k) {
            AppendLine(text, FormatDecimal(k) + " 1 DATA=" + FormatDecimal(record[3 + k]));
        }
    }
    return text;
}

XcfgLoadResult LoadXcfg(const std::string& path, ConfigRecordSets& sets) {
    std::error_code error;
    std::ifstream in;
    if (!std::filesystem::is_directory(path, error)) {
        in.open(path, std::ios::binary);
    }
    if (!in.is_open()) {
        sets.fileRecordCount = 0;
        return {XcfgVerdict::NotOpenable, std::string(xcfg::kNotOpenable), 0};
    }
    return LoadLines([&in](std::string& line) { return static_cast<bool>(std::getline(in, line)); },
                     [&in] { return in.bad(); }, sets);
}

XcfgLoadResult ParseXcfg(std::string_view text, ConfigRecordSets& sets) {
    size_t at = 0;
    const auto nextLine = [&text, &at](std::string& line) {
        if (at >= text.size()) {
            return false;
        }
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        line.assign(text.substr(at, end - at));
        at = end + 1;
        return true;
    };
    return LoadLines(
        nextLine, [] { return false; }, sets);
}

bool ReadChipConfiguration(ControllerCommands& controller, ConfigRecordSets& sets) {
    const XcfgTableView table = ViewOfTable(controller.Table());
    MemoryPort& memory = controller.Memory();
    const int count = std::min<int>(static_cast<int>(table.objects.size()), xcfg::kMaxRecords);
    for (int i = 0; i < count; ++i) {
        const XcfgObject& object = table.objects[i];
        ConfigRecord& record = sets.chipRecords[i];
        record[0] = static_cast<uint8_t>(object.address & 0xFF);
        record[1] = static_cast<uint8_t>(object.address >> 8);
        record[2] = object.size;
        if (object.size > xcfg::kMaxObjectBytes) {
            continue;
        }
        for (int offset = 0; offset < object.size; offset += xcfg::kChunkBytes) {
            const int bytes = std::min(xcfg::kChunkBytes, object.size - offset);
            if (!memory.ReadMemory(static_cast<uint16_t>(object.address + offset),
                                   static_cast<uint8_t>(bytes))) {
                return false;
            }
            controller.Sleep().SleepMs(xcfg::kChunkReadSleepMs);
            const InputReport& answer = memory.Answer();
            std::copy_n(answer.begin() + 3, bytes, record.begin() + 3 + offset);
        }
    }
    return true;
}

XcfgOutcome SaveXcfg(const std::string& path, ControllerCommands& controller,
                     ConfigRecordSets& sets) {
    const XcfgTableView table = ViewOfTable(controller.Table());
    for (const int i : SectionsToWrite(table)) {
        if (table.objects[i - 1].size > xcfg::kMaxObjectBytes) {
            return {false, std::string(xcfg::kObjectTooLarge)};
        }
    }
    if (!ReadChipConfiguration(controller, sets)) {
        return {false, std::string(xcfg::kChipReadFailed)};
    }
    const std::optional<std::string> text = FormatXcfg(table, sets.chipRecords);
    if (!text) {
        return {false, std::string(xcfg::kObjectTooLarge)};
    }
    const std::string failed = path + std::string(xcfg::kSaveFailed);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out.is_open()) {
        return {false, failed};
    }
    out.write(text->data(), static_cast<std::streamsize>(text->size()));
    out.close();
    if (out.fail()) {
        // Only a plain file is taken back: behind a link or a device name it is not ours.
        std::error_code ignored;
        if (std::filesystem::is_regular_file(std::filesystem::symlink_status(path, ignored))) {
            std::filesystem::remove(path, ignored);
        }
        return {false, failed};
    }
    return {true, {}};
}

XcfgOutcome WriteChipConfiguration(ControllerCommands& controller, ConfigRecordSets& sets,
                                   const std::function<void(int percent)>& onProgress) {
    const int records = sets.fileRecordCount;
    if (records > xcfg::kMaxRecords) {
        return {false, std::string(xcfg::kTooManyObjects)};
    }
    // Every record is checked before the first byte goes out: a refused file must leave
    // the controller as it was.
    // The commit and the reset go to the command object; without one they would land at
    // the bottom of the controller's memory.
    if (!controller.Table().Contains(6)) {
        return {false, std::string(xcfg::kProgramFailed)};
    }
    if (records > controller.Table().objectCount) {
        return {false, std::string(xcfg::kMoreRecordsThanObjects)};
    }
    for (int i = 0; i < records; ++i) {
        const ConfigRecord& record = sets.fileRecords[i];
        if (record[2] > xcfg::kMaxObjectBytes) {
            return {false, std::string(xcfg::kObjectTooLarge)};
        }
        if (record[0] + 256 * record[1] + record[2] > 0x10000) {
            return {false, std::string(xcfg::kRejected)};
        }
    }
    MemoryPort& memory = controller.Memory();
    for (int i = 0; i < records; ++i) {
        const ConfigRecord& record = sets.fileRecords[i];
        const int address = record[0] + 256 * record[1];
        const int size = record[2];
        for (int offset = 0; offset < size; offset += xcfg::kChunkBytes) {
            const int bytes = std::min(xcfg::kChunkBytes, size - offset);
            const std::span<const uint8_t> chunk(record.data() + 3 + offset,
                                                 static_cast<size_t>(bytes));
            if (!memory.WriteMemory(static_cast<uint16_t>(address + offset), chunk,
                                    xcfg::kChunkSettleMs)) {
                // Without a commit the reset brings back the stored configuration.
                controller.ResetController();
                return {false, std::string(xcfg::kProgramFailed)};
            }
        }
        sets.programProgress = static_cast<int>((i + 1) * 100.0 / records);
        if (onProgress) {
            onProgress(sets.programProgress);
        }
    }
    if (!controller.CommitConfiguration() || !controller.ResetController()) {
        return {false, std::string(xcfg::kProgramFailed)};
    }
    return {true, {}};
}
