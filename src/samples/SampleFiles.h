#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "config/TestConfig.h"

// Reference samples: the sample file, the area statistics stored with it, the average of
// several samples, and the per-node limits derived from one sample.
//
// Every operation visits only the displayed nodes below the channel counts of the
// TestConfig it is given (x < x_channel_valid, y < y_channel_valid, both display flags set;
// counts above 32 and 52 are cut to the grid) and classifies them with ClassifyNode.
// Rows of a file are read with the current configuration, never with the one stored in it.
//
// A sample row holds one entry per displayed X channel, in channel order; the readers give
// the n-th entry to the n-th displayed X channel. When every X channel below the count is
// displayed this is the n-th channel, as rows have always been read; when the display area
// leaves a channel out, a row written here still reads back to the nodes it came from.
//
// Paths in records and arguments are UTF-8 text. Files are INI files written key by key
// through IniProfile. UI thread; nothing is locked.

constexpr size_t kSampleXChannels = 32;
constexpr size_t kSampleYChannels = 52;

// Node values of one test, [X channel][Y channel], as the test sequence leaves them.
using SampleNodeMatrix = std::array<std::array<uint16_t, kSampleYChannels>, kSampleXChannels>;
// Signed per-node values [X channel][Y channel]: averages and the limit matrices
// SampleRawDataLow and SampleRawDataHigh.
using SampleMatrix = std::array<std::array<int32_t, kSampleYChannels>, kSampleXChannels>;

enum class SampleSource : uint8_t { CurrentData = 1, SampleFile = 2, AverageSample = 3 };

// The organiser's list text: "当前数据", "样本文件", "平均样本"; any other value "未知样本".
std::string_view SampleSourceText(SampleSource source);

// The current reference sample; node values stay in its file.
struct SampleRecord {
    std::string path;
    SampleSource Source{};
    std::string Time;  // month, day, hour, minute, second: ten digits
    int32_t VAmin = 0;
    int32_t VAmax = 0;
    int32_t VAaverage = 0;
    int32_t KEYmin = 0;
    int32_t KEYmax = 0;
    int32_t KEYaverage = 0;

    friend bool operator==(const SampleRecord&, const SampleRecord&) = default;
};

// How far a node may lie from its sample value.
struct TestStandard {
    int32_t DeviationMethod = 1;  // 0 absolute, 1 percentage; any other gives no limits
    uint32_t AbsoluteDeviationNegative = 0;
    uint32_t AbsoluteDeviationPositive = 0;
    uint8_t RelativeDeviationNegative = 0;  // percent
    uint8_t RelativeDeviationPositive = 0;
};

// Where sample files live. Both folders must exist; nothing here creates them.
struct SampleFolders {
    std::filesystem::path workingFolder;     // its Config/SampleTemplate.ini seeds new files
    std::filesystem::path tempSampleFolder;  // new samples are written here
};

// The local time, read once per new file; tests pass a fixed one.
using SampleClock = std::function<std::tm()>;

// Outcome of an operation on files: ok, or the operator's text naming the file that failed
// ("打开文件 \"PATH\" 失败！" for a file that cannot be read, "写入文件 \"PATH\" 失败！" for
// one that cannot be written).
struct SampleFileResult {
    bool ok = true;
    std::string message;
};

// One row entry: the decimal text right-aligned in five characters, then ",". A value
// wider than five characters is written whole, never cut into another number.
std::string FormatSampleEntry(int32_t value);

// Row "Y"y of a sample file: for each displayed X channel below the count, the entry of a
// visible-area or key node, or "    0," for an untested one. Empty when Y channel y is
// outside the display area or the count.
std::string BuildSampleRow(const TestConfig& config, const SampleMatrix& values, uint8_t y);

// Sets the six statistics of record over the displayed visible-area and key nodes: minimum
// (from 16777215), maximum (from 0) and average truncated toward zero. An area without any
// node has 0 for all three. The other fields of record stay.
void ComputeSampleStatistics(const TestConfig& config, const SampleMatrix& values,
                             SampleRecord& record);

// Writes a new sample file <tempSampleFolder>/YYYYMMDDhhmmss.ini from one reading of
// clock: the template copied first when there is one (its content stays first), then
// "Sample_Configuration" (Time, Source, the counts, the six area flag lists), the rows
// "Y0".. of "Sample_Context", and the statistics, each key replaced in place when the file
// already holds it. A second sample within the same second replaces the keys of the first.
// record is replaced whole (path, Source, Time, statistics) whatever the outcome; on a
// failed write the result names the file and the file may hold only part of the keys.
SampleFileResult WriteSampleFile(const SampleFolders& folders, const TestConfig& config,
                                 const SampleMatrix& values, SampleSource source,
                                 SampleRecord& record, const SampleClock& clock);
SampleFileResult WriteSampleFile(const SampleFolders& folders, const TestConfig& config,
                                 const SampleNodeMatrix& values, SampleSource source,
                                 SampleRecord& record, const SampleClock& clock);

// xCount entries of a row text, in order: its first 511 characters, leading white space
// skipped, split at ",". Each entry converts as atoi does (sign, digits, no digits 0),
// held to 32 bits; entries the row lacks are 0. Any input.
std::vector<int32_t> ParseSampleRow(std::string_view text, uint8_t xCount);

// A row's values by X channel: the n-th entry goes to the n-th displayed X channel below the
// count; every other channel is 0. Any input.
std::array<int32_t, kSampleXChannels> ParseSampleRowNodes(std::string_view text,
                                                          const TestConfig& config);

// Averages the displayed visible-area and key nodes of the files at paths (average is zeroed
// first; untested and undisplayed nodes stay 0), truncated toward zero, then writes the
// average as a new sample with source AverageSample, as WriteSampleFile does. A file that
// cannot be read fails the whole average before anything is written (a missing row in a
// readable file counts as zeros). No paths fails too.
SampleFileResult AverageSampleFiles(const SampleFolders& folders, const TestConfig& config,
                                    const std::vector<std::string>& paths, SampleMatrix& average,
                                    SampleRecord& record, const SampleClock& clock);

// Replaces record with path, Time (empty when missing, at most 511 bytes), the six
// statistics (0 when missing) and Source SampleFile, whatever the file says. A file that
// cannot be read fails, with record filled as for an empty file. The file's counts and areas
// are not compared with the current configuration.
SampleFileResult ReadSampleHeader(const std::string& path, SampleRecord& record);

struct NodeLimits {
    int32_t low = 0;
    int32_t high = 0;
    friend bool operator==(const NodeLimits&, const NodeLimits&) = default;
};

// Limits around a sample value: absolute v - negative .. v + positive, or percentage
// v * (100 - negative) / 100 .. v * (100 + positive) / 100 with exact products and
// quotients truncated toward zero. Negative limits stand; a limit beyond 32 bits is held at
// the nearest 32-bit value. Any other method gives 0 and 0.
NodeLimits DeriveNodeLimits(int32_t value, const TestStandard& standard);

// Zeroes low and high, then fills the displayed visible-area and key nodes from the rows of
// the sample at path. A file that cannot be read fails and leaves both all zero.
SampleFileResult DeriveSampleLimits(const std::string& path, const TestConfig& config,
                                    const TestStandard& standard, SampleMatrix& low,
                                    SampleMatrix& high);

// Writes low into <folder>/SampleRawDataLow.ini and high into <folder>/SampleRawDataHigh.ini
// (the station's folder is <workingFolder>/Config): in "Sample_Context" the keys "Y0".."Y51",
// each 32 entries for X channels 0..31, whatever the counts and areas. Stops at the first
// failed write.
SampleFileResult WriteSampleLimitFiles(const std::filesystem::path& folder, const SampleMatrix& low,
                                       const SampleMatrix& high);
