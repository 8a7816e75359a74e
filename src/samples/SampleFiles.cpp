#include "samples/SampleFiles.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <optional>
#include <system_error>

#include "app/Format.h"
#include "config/IniProfile.h"
#include "config/Utf8Path.h"

namespace {

constexpr std::string_view kConfigurationSection = "Sample_Configuration";
constexpr std::string_view kContextSection = "Sample_Context";
constexpr size_t kRowBuffer = 511;

size_t XCount(const TestConfig& config) {
    return std::min<size_t>(config.x_channel_valid, kSampleXChannels);
}

size_t YCount(const TestConfig& config) {
    return std::min<size_t>(config.y_channel_valid, kSampleYChannels);
}

bool Displayed(const TestConfig& config, size_t x, size_t y) {
    return config.display_area_x[x] != 0 && config.display_area_y[y] != 0;
}

// The classes a sample carries values for.
bool Measured(NodeClass nodeClass) {
    return nodeClass == NodeClass::VisibleArea || nodeClass == NodeClass::Key;
}

NodeClass Classify(const TestConfig& config, size_t x, size_t y) {
    return ClassifyNode(config, static_cast<uint8_t>(x), static_cast<uint8_t>(y));
}

int32_t HoldTo32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

std::string RowKey(size_t y) {
    return "Y" + FormatDecimal(static_cast<int64_t>(y));
}

std::string TwoDigits(int value) {
    return Right(FormatZeroPadded(value, 10), 2);
}

std::string FlagList(const TestConfig::ChannelFlags& flags) {
    std::string text;
    for (uint8_t flag : flags) {
        text += flag != 0 ? "1," : "0,";
    }
    return text;
}

std::string OpenFailure(const std::string& path) {
    return "打开文件 \"" + path + "\" 失败！";
}

std::string WriteFailure(const std::filesystem::path& path) {
    return "写入文件 \"" + Utf8FromPath(path) + "\" 失败！";
}

// A sample's whole text, or nothing when it cannot be read; only a plain file is a sample.
std::optional<std::string> ReadSampleText(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        return std::nullopt;
    }
    const uintmax_t size = std::filesystem::file_size(file, error);
    std::ifstream in(file, std::ios::binary);
    if (error || !in) {
        return std::nullopt;
    }
    std::string text(static_cast<size_t>(size), '\0');
    if (!in.read(text.data(), static_cast<std::streamsize>(size))) {
        return std::nullopt;
    }
    return text;
}

std::string ReadRow(std::string_view fileText, size_t y) {
    return FindProfileValue(fileText, kContextSection, RowKey(y)).value_or("");
}

// Writes keys one after the other and remembers the first that failed; later keys are
// skipped, since a file that refused one key holds no usable sample.
class KeyWriter {
public:
    explicit KeyWriter(std::filesystem::path file) : file_(std::move(file)) {}

    void Write(std::string_view section, std::string_view key, std::string_view value) {
        if (ok_ && !WriteProfileString(file_, section, key, value)) {
            ok_ = false;
        }
    }

    SampleFileResult Result() const {
        return ok_ ? SampleFileResult{} : SampleFileResult{false, WriteFailure(file_)};
    }

private:
    std::filesystem::path file_;
    bool ok_ = true;
};

struct AreaStatistics {
    int32_t min = 16777215;
    int32_t max = 0;
    int64_t sum = 0;
    int64_t count = 0;

    void Add(int32_t value) {
        max = std::max(max, value);
        min = std::min(min, value);
        sum += value;
        ++count;
    }

    // No node leaves max below min: the area reads as 0 throughout.
    void Store(int32_t& minOut, int32_t& maxOut, int32_t& averageOut) const {
        const bool empty = max < min;
        minOut = empty ? 0 : min;
        maxOut = empty ? 0 : max;
        averageOut = count == 0 ? 0 : static_cast<int32_t>(sum / count);
    }
};

}  // namespace

std::string_view SampleSourceText(SampleSource source) {
    switch (source) {
        case SampleSource::CurrentData:
            return "当前数据";
        case SampleSource::SampleFile:
            return "样本文件";
        case SampleSource::AverageSample:
            return "平均样本";
    }
    return "未知样本";
}

std::string FormatSampleEntry(int32_t value) {
    return FormatPadded(value, 10) + ",";
}

std::string BuildSampleRow(const TestConfig& config, const SampleMatrix& values, uint8_t y) {
    std::string row;
    if (y >= YCount(config) || config.display_area_y[y] == 0) {
        return row;
    }
    for (size_t x = 0; x < XCount(config); ++x) {
        if (!Displayed(config, x, y)) {
            continue;
        }
        row += Measured(Classify(config, x, y)) ? FormatSampleEntry(values[x][y]) : "    0,";
    }
    return row;
}

void ComputeSampleStatistics(const TestConfig& config, const SampleMatrix& values,
                             SampleRecord& record) {
    AreaStatistics va;
    AreaStatistics key;
    for (size_t y = 0; y < YCount(config); ++y) {
        for (size_t x = 0; x < XCount(config); ++x) {
            if (!Displayed(config, x, y)) {
                continue;
            }
            const NodeClass nodeClass = Classify(config, x, y);
            if (nodeClass == NodeClass::VisibleArea) {
                va.Add(values[x][y]);
            } else if (nodeClass == NodeClass::Key) {
                key.Add(values[x][y]);
            }
        }
    }
    va.Store(record.VAmin, record.VAmax, record.VAaverage);
    key.Store(record.KEYmin, record.KEYmax, record.KEYaverage);
}

SampleFileResult WriteSampleFile(const SampleFolders& folders, const TestConfig& config,
                                 const SampleMatrix& values, SampleSource source,
                                 SampleRecord& record, const SampleClock& clock) {
    const std::tm now = clock();
    const std::string time = TwoDigits(now.tm_mon + 1) + TwoDigits(now.tm_mday) +
                             TwoDigits(now.tm_hour) + TwoDigits(now.tm_min) + TwoDigits(now.tm_sec);
    const std::string year = Right(FormatZeroPadded(now.tm_year + 1900, 10), 4);
    const std::filesystem::path file = folders.tempSampleFolder / (year + time + ".ini");

    record = SampleRecord{};
    record.path = Utf8FromPath(file);
    record.Source = source;
    record.Time = time;
    ComputeSampleStatistics(config, values, record);

    // The template is optional: without one the file starts empty.
    std::error_code noTemplate;
    std::filesystem::copy_file(folders.workingFolder / "Config" / "SampleTemplate.ini", file,
                               std::filesystem::copy_options::overwrite_existing, noTemplate);

    KeyWriter writer(file);
    writer.Write(kConfigurationSection, "Time", record.Time);
    writer.Write(kConfigurationSection, "Source",
                 FormatDecimal(static_cast<uint8_t>(record.Source)));
    writer.Write(kConfigurationSection, "x_channel_valid", FormatDecimal(config.x_channel_valid));
    writer.Write(kConfigurationSection, "y_channel_valid", FormatDecimal(config.y_channel_valid));
    writer.Write(kConfigurationSection, "display_area_x", FlagList(config.display_area_x));
    writer.Write(kConfigurationSection, "display_area_y", FlagList(config.display_area_y));
    writer.Write(kConfigurationSection, "test_va_area_x", FlagList(config.test_va_area_x));
    writer.Write(kConfigurationSection, "test_va_area_y", FlagList(config.test_va_area_y));
    writer.Write(kConfigurationSection, "test_key_area_x", FlagList(config.test_key_area_x));
    writer.Write(kConfigurationSection, "test_key_area_y", FlagList(config.test_key_area_y));
    for (size_t y = 0; y < YCount(config); ++y) {
        writer.Write(kContextSection, RowKey(y),
                     BuildSampleRow(config, values, static_cast<uint8_t>(y)));
    }
    writer.Write(kConfigurationSection, "VAaverage", FormatDecimal(record.VAaverage));
    writer.Write(kConfigurationSection, "VAmax", FormatDecimal(record.VAmax));
    writer.Write(kConfigurationSection, "VAmin", FormatDecimal(record.VAmin));
    writer.Write(kConfigurationSection, "KEYaverage", FormatDecimal(record.KEYaverage));
    writer.Write(kConfigurationSection, "KEYmax", FormatDecimal(record.KEYmax));
    writer.Write(kConfigurationSection, "KEYmin", FormatDecimal(record.KEYmin));
    return writer.Result();
}

SampleFileResult WriteSampleFile(const SampleFolders& folders, const TestConfig& config,
                                 const SampleNodeMatrix& values, SampleSource source,
                                 SampleRecord& record, const SampleClock& clock) {
    SampleMatrix wide{};
    for (size_t x = 0; x < kSampleXChannels; ++x) {
        std::copy(values[x].begin(), values[x].end(), wide[x].begin());
    }
    return WriteSampleFile(folders, config, wide, source, record, clock);
}

std::vector<int32_t> ParseSampleRow(std::string_view text, uint8_t xCount) {
    // Leading white space needs no stripping: the conversion skips it.
    text = text.substr(0, std::min(text.size(), kRowBuffer));
    std::vector<int32_t> entries;
    entries.reserve(xCount);
    for (size_t x = 0; x < xCount; ++x) {
        const size_t comma = text.find(',');
        if (comma == std::string_view::npos) {
            entries.push_back(0);
            continue;
        }
        entries.push_back(HoldTo32(ParseLeadingInteger(text.substr(0, comma))));
        text.remove_prefix(comma + 1);
    }
    return entries;
}

std::array<int32_t, kSampleXChannels> ParseSampleRowNodes(std::string_view text,
                                                          const TestConfig& config) {
    std::array<size_t, kSampleXChannels> channels{};
    size_t count = 0;
    for (size_t x = 0; x < XCount(config); ++x) {
        if (config.display_area_x[x] != 0) {
            channels[count++] = x;
        }
    }
    const std::vector<int32_t> entries = ParseSampleRow(text, static_cast<uint8_t>(count));
    std::array<int32_t, kSampleXChannels> nodes{};
    for (size_t n = 0; n < count; ++n) {
        nodes[channels[n]] = entries[n];
    }
    return nodes;
}

SampleFileResult AverageSampleFiles(const SampleFolders& folders, const TestConfig& config,
                                    const std::vector<std::string>& paths, SampleMatrix& average,
                                    SampleRecord& record, const SampleClock& clock) {
    average = SampleMatrix{};
    if (paths.empty()) {
        return {false, "没有选中样本"};
    }
    // A sample that cannot be read would count as zeros and drag the average down.
    std::vector<std::string> texts;
    for (const std::string& path : paths) {
        std::optional<std::string> text = ReadSampleText(PathFromUtf8(path));
        if (!text) {
            return {false, OpenFailure(path)};
        }
        texts.push_back(std::move(*text));
    }
    std::array<std::array<int64_t, kSampleYChannels>, kSampleXChannels> sum{};
    for (const std::string& text : texts) {
        for (size_t y = 0; y < YCount(config); ++y) {
            const auto nodes = ParseSampleRowNodes(ReadRow(text, y), config);
            for (size_t x = 0; x < XCount(config); ++x) {
                if (Displayed(config, x, y) && Measured(Classify(config, x, y))) {
                    sum[x][y] += nodes[x];
                }
            }
        }
    }
    const auto k = static_cast<int64_t>(paths.size());
    for (size_t x = 0; x < XCount(config); ++x) {
        for (size_t y = 0; y < YCount(config); ++y) {
            if (Displayed(config, x, y) && Measured(Classify(config, x, y))) {
                average[x][y] = static_cast<int32_t>(sum[x][y] / k);
            }
        }
    }
    return WriteSampleFile(folders, config, average, SampleSource::AverageSample, record, clock);
}

SampleFileResult ReadSampleHeader(const std::string& path, SampleRecord& record) {
    const std::filesystem::path file = PathFromUtf8(path);
    record = SampleRecord{};
    record.path = path;
    record.Source = SampleSource::SampleFile;
    if (!ReadSampleText(file)) {
        return {false, OpenFailure(path)};
    }
    record.Time = ReadProfileString(file, kConfigurationSection, "Time", "");
    auto number = [&](std::string_view key) {
        return ReadProfileInt(file, kConfigurationSection, key, 0);
    };
    record.VAaverage = number("VAaverage");
    record.VAmax = number("VAmax");
    record.VAmin = number("VAmin");
    record.KEYaverage = number("KEYaverage");
    record.KEYmax = number("KEYmax");
    record.KEYmin = number("KEYmin");
    return {};
}

NodeLimits DeriveNodeLimits(int32_t value, const TestStandard& standard) {
    const int64_t v = value;
    switch (standard.DeviationMethod) {
        case 0:
            return {HoldTo32(v - standard.AbsoluteDeviationNegative),
                    HoldTo32(v + standard.AbsoluteDeviationPositive)};
        case 1:
            return {HoldTo32(v * (100 - int64_t{standard.RelativeDeviationNegative}) / 100),
                    HoldTo32(v * (100 + int64_t{standard.RelativeDeviationPositive}) / 100)};
        default:
            return {};
    }
}

SampleFileResult DeriveSampleLimits(const std::string& path, const TestConfig& config,
                                    const TestStandard& standard, SampleMatrix& low,
                                    SampleMatrix& high) {
    low = SampleMatrix{};
    high = SampleMatrix{};
    const std::optional<std::string> text = ReadSampleText(PathFromUtf8(path));
    if (!text) {
        return {false, OpenFailure(path)};
    }
    for (size_t y = 0; y < YCount(config); ++y) {
        const auto nodes = ParseSampleRowNodes(ReadRow(*text, y), config);
        for (size_t x = 0; x < XCount(config); ++x) {
            if (Displayed(config, x, y) && Measured(Classify(config, x, y))) {
                const NodeLimits limits = DeriveNodeLimits(nodes[x], standard);
                low[x][y] = limits.low;
                high[x][y] = limits.high;
            }
        }
    }
    return {};
}

SampleFileResult WriteSampleLimitFiles(const std::filesystem::path& folder, const SampleMatrix& low,
                                       const SampleMatrix& high) {
    for (const auto& [name, limits] :
         {std::pair{"SampleRawDataLow.ini", &low}, std::pair{"SampleRawDataHigh.ini", &high}}) {
        KeyWriter writer(folder / name);
        for (size_t y = 0; y < kSampleYChannels; ++y) {
            std::string row;
            for (size_t x = 0; x < kSampleXChannels; ++x) {
                row += FormatSampleEntry((*limits)[x][y]);
            }
            writer.Write(kContextSection, RowKey(y), row);
        }
        SampleFileResult result = writer.Result();
        if (!result.ok) {
            return result;
        }
    }
    return {};
}
