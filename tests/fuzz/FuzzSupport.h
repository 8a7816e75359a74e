#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "controller/MemoryPort.h"
#include "controller/ObjectTable.h"

// Helpers shared by the fuzz targets over what the board and the controller send.

// Stops the run with a message naming the broken rule; the driver and libFuzzer both report
// an abort as the fault.
inline void Require(bool holds, const char* rule) {
    if (!holds) {
        std::fprintf(stderr, "fuzz: %s\n", rule);
        std::abort();
    }
}

// The lines of a log text, each of which must end in CR LF; no CR or LF inside a line.
inline std::vector<std::string> LogLines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const size_t end = text.find("\r\n");
        Require(end != std::string_view::npos, "a log entry does not end in CR LF");
        const std::string_view line = text.substr(0, end);
        Require(line.find_first_of("\r\n") == std::string_view::npos, "a bare CR or LF in the log");
        lines.emplace_back(line);
        text.remove_prefix(end + 2);
    }
    return lines;
}

// The last two characters of a number right-aligned in five: " 7", "12", "00" for 100.
inline std::string TwoCharacters(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", value % 100);
    if (value < 10) {
        text[0] = ' ';
    }
    return text;
}

// Bytes as two upper-case hexadecimal digits and a blank each.
inline std::string HexDump(std::span<const uint8_t> bytes) {
    std::string dump;
    for (const uint8_t byte : bytes) {
        char text[4];
        std::snprintf(text, sizeof text, "%02X ", byte);
        dump += text;
    }
    return dump;
}

// Splits fuzz bytes into 64-byte reports, the last one padded with zeros; at most maxReports.
inline std::vector<InputReport> SplitReports(std::span<const uint8_t> bytes, size_t maxReports) {
    std::vector<InputReport> reports;
    for (size_t at = 0; at < bytes.size() && reports.size() < maxReports; at += 64) {
        InputReport report{};
        const size_t n = std::min<size_t>(64, bytes.size() - at);
        std::copy_n(bytes.begin() + static_cast<long>(at), n, report.begin());
        reports.push_back(report);
    }
    return reports;
}

// A controller that answers every read with the next report of a list, whatever was asked,
// and acknowledges every write. Once the list is used up it either fails every transaction or
// starts the list again, a controller that never falls silent; past kCeiling transactions a
// loop over its answers is taken to have no bound. Records what was asked.
class AnswerPort : public MemoryPort {
public:
    static constexpr size_t kCeiling = 4096;

    struct Read {
        uint16_t address;
        uint8_t count;
        size_t answer;  // index into the answers
    };
    struct Write {
        uint16_t address;
        std::vector<uint8_t> bytes;
    };

    AnswerPort(std::vector<InputReport> answers, bool repeat)
        : answers_(std::move(answers)), repeat_(repeat) {}

    bool ReadMemory(uint16_t address, uint8_t count) override {
        Require(count >= 1 && count <= 60, "a read asks for more than one report holds");
        if (!Answering()) {
            return false;
        }
        const size_t index = given_++ % answers_.size();
        reads.push_back({address, count, index});
        answer_ = answers_[index];
        return true;
    }

    bool WriteMemory(uint16_t address, std::span<const uint8_t> bytes, int) override {
        Require(!bytes.empty() && bytes.size() <= 58, "a write carries more than one report holds");
        if (!Answering()) {
            return false;
        }
        writes.push_back({address, {bytes.begin(), bytes.end()}});
        return true;
    }

    const InputReport& Answer() const override { return answer_; }

    const InputReport& AnswerOf(const Read& read) const { return answers_[read.answer]; }
    // Transactions asked for, answered or not.
    size_t Transactions() const { return transactions_; }

    std::vector<Read> reads;
    std::vector<Write> writes;

private:
    bool Answering() {
        Require(++transactions_ <= kCeiling, "a loop over the controller's answers has no bound");
        return !answers_.empty() && (repeat_ || given_ < answers_.size());
    }

    std::vector<InputReport> answers_;
    bool repeat_;
    size_t given_ = 0;
    size_t transactions_ = 0;
    InputReport answer_{};
};

// The simulated controller's table layout (type, size, instances, report IDs per instance),
// objects placed one after the other from 0x0100: report IDs 1 (type 6), 2-21 (type 9),
// 22 (15), 23 (25), 24 (46), 25 (56), 26 (62).
inline std::vector<uint8_t> StationTableImage() {
    const uint8_t layout[][4] = {
        {5, 10, 1, 0}, {6, 6, 1, 1},    {9, 70, 2, 10}, {15, 11, 1, 1},
        {25, 6, 1, 1}, {37, 130, 1, 0}, {38, 64, 1, 0}, {7, 4, 1, 0},
        {8, 10, 1, 0}, {18, 2, 1, 0},   {40, 5, 1, 0},  {42, 10, 1, 0},
        {46, 9, 1, 1}, {47, 22, 1, 0},  {56, 36, 1, 1}, {62, 54, 1, 1},
    };
    std::vector<uint8_t> image = {0x6A, 0x03, 0x21, 0x07, 32, 52, std::size(layout)};
    unsigned address = 0x0100;
    for (const auto& [type, size, instances, ids] : layout) {
        image.insert(
            image.end(),
            {type, static_cast<uint8_t>(address & 0xFF), static_cast<uint8_t>(address >> 8),
             static_cast<uint8_t>(size - 1), static_cast<uint8_t>(instances - 1), ids});
        address += size * instances;
    }
    return image;
}

// A table as the bring-up leaves it after reading image (the header first, at most 391 bytes).
inline ObjectTable ParsedTable(std::span<const uint8_t> image) {
    ObjectTable table;
    std::array<uint8_t, ObjectTable::kImageSize> padded{};
    std::copy_n(image.begin(), std::min(image.size(), padded.size()), padded.begin());
    table.AcceptHeader(padded.data());
    table.image = padded;
    table.ParseObjectTable();
    return table;
}
