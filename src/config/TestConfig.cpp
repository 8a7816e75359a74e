#include "config/TestConfig.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <string_view>
#include <system_error>

#include "app/Format.h"
#include "config/Utf8Path.h"

namespace {

using Scalar8 = uint8_t TestConfig::*;
using Scalar16 = uint16_t TestConfig::*;
using Flags52 = TestConfig::ChannelFlags TestConfig::*;
using Flags8 = TestConfig::ColumnFlags TestConfig::*;

enum class Kind { Scalar8, Scalar16, Flags52, Flags8 };

// One line of the file. A scalar passes when lowest <= stored value <= highest, where a
// maximum's lowest is one above its minimum as the record holds it when the line is read.
struct LineRule {
    std::string_view key;
    std::string_view comment;  // GBK bytes, from "%"
    Kind kind;
    Scalar8 scalar8 = nullptr;
    Scalar16 scalar16 = nullptr;
    Flags52 flags52 = nullptr;
    Flags8 flags8 = nullptr;
    uint16_t lowest = 0;
    uint16_t highest = 0;
    Scalar16 above = nullptr;
    size_t written = 0;  // flag entries written from the record; the rest are written as 0
};

constexpr uint16_t kLimitLow = 16000;
constexpr uint16_t kLimitHigh = 40000;

LineRule Count(std::string_view key, std::string_view comment, Scalar8 field, uint16_t lowest,
               uint16_t highest) {
    return {key, comment, Kind::Scalar8, field, nullptr, nullptr, nullptr, lowest, highest};
}

LineRule Limit(std::string_view key, std::string_view comment, Scalar16 field,
               Scalar16 above = nullptr) {
    return {key,     comment, Kind::Scalar16, nullptr,    field,
            nullptr, nullptr, kLimitLow,      kLimitHigh, above};
}

constexpr size_t kXChannels = 32;

LineRule Channels(std::string_view key, std::string_view comment, Flags52 field, size_t written) {
    return {key, comment, Kind::Flags52, nullptr, nullptr, field, nullptr, 0, 0, nullptr, written};
}

LineRule Column(std::string_view key, std::string_view comment, Flags8 field) {
    return {key, comment, Kind::Flags8, nullptr, nullptr, nullptr, field};
}

// Writer order. The comments are the station's GBK bytes; the UTF-8 text is beside each.
const LineRule kLines[] = {
    // %X有效通道数量0~32
    Count("x_channel_valid",
          "%X\xD3\xD0\xD0\xA7\xCD\xA8\xB5\xC0\xCA\xFD\xC1\xBF"
          "0~32",
          &TestConfig::x_channel_valid, 1, 32),
    // %Y有效通道数量0~52
    Count("y_channel_valid",
          "%Y\xD3\xD0\xD0\xA7\xCD\xA8\xB5\xC0\xCA\xFD\xC1\xBF"
          "0~52",
          &TestConfig::y_channel_valid, 1, 52),
    // %VA区测试值下限
    Limit("rawdata_va_min", "%VA\xC7\xF8\xB2\xE2\xCA\xD4\xD6\xB5\xCF\xC2\xCF\xDE",
          &TestConfig::rawdata_va_min),
    // %VA区测试值上限
    Limit("rawdata_va_max", "%VA\xC7\xF8\xB2\xE2\xCA\xD4\xD6\xB5\xC9\xCF\xCF\xDE",
          &TestConfig::rawdata_va_max, &TestConfig::rawdata_va_min),
    // %按键区测试值下限
    Limit("rawdata_key_min", "%\xB0\xB4\xBC\xFC\xC7\xF8\xB2\xE2\xCA\xD4\xD6\xB5\xCF\xC2\xCF\xDE",
          &TestConfig::rawdata_key_min),
    // %按键区测试值上限
    Limit("rawdata_key_max", "%\xB0\xB4\xBC\xFC\xC7\xF8\xB2\xE2\xCA\xD4\xD6\xB5\xC9\xCF\xCF\xDE",
          &TestConfig::rawdata_key_max, &TestConfig::rawdata_key_min),
    // %X通道显示区域
    Channels("display_area_x[52]", "%X\xCD\xA8\xB5\xC0\xCF\xD4\xCA\xBE\xC7\xF8\xD3\xF2",
             &TestConfig::display_area_x, kXChannels),
    // %Y通道显示区域
    Channels("display_area_y[52]", "%Y\xCD\xA8\xB5\xC0\xCF\xD4\xCA\xBE\xC7\xF8\xD3\xF2",
             &TestConfig::display_area_y, TestConfig::kChannels),
    // %可视区的X通道测试区域
    Channels("test_va_area_x[52]",
             "%\xBF\xC9\xCA\xD3\xC7\xF8\xB5\xC4X\xCD\xA8\xB5\xC0\xB2\xE2\xCA\xD4\xC7\xF8\xD3\xF2",
             &TestConfig::test_va_area_x, kXChannels),
    // %可视区的Y通道测试区域
    Channels("test_va_area_y[52]",
             "%\xBF\xC9\xCA\xD3\xC7\xF8\xB5\xC4Y\xCD\xA8\xB5\xC0\xB2\xE2\xCA\xD4\xC7\xF8\xD3\xF2",
             &TestConfig::test_va_area_y, TestConfig::kChannels),
    // %按键区的X通道测试区域
    Channels("test_key_area_x[52]",
             "%\xB0\xB4\xBC\xFC\xC7\xF8\xB5\xC4X\xCD\xA8\xB5\xC0\xB2\xE2\xCA\xD4\xC7\xF8\xD3\xF2",
             &TestConfig::test_key_area_x, kXChannels),
    // %按键区的Y通道测试区域
    Channels("test_key_area_y[52]",
             "%\xB0\xB4\xBC\xFC\xC7\xF8\xB5\xC4Y\xCD\xA8\xB5\xC0\xB2\xE2\xCA\xD4\xC7\xF8\xD3\xF2",
             &TestConfig::test_key_area_y, TestConfig::kChannels),
    // %X按键总数
    Count("test_key_number_x", "%X\xB0\xB4\xBC\xFC\xD7\xDC\xCA\xFD", &TestConfig::test_key_number_x,
          0, 255),
    // %Y按键总数
    Count("test_key_number_y", "%Y\xB0\xB4\xBC\xFC\xD7\xDC\xCA\xFD", &TestConfig::test_key_number_y,
          0, 255),
    // %多行按键矩阵0列 .. %多行按键矩阵7列
    Column("multikey_matrix_col0[8]",
           "%\xB6\xE0\xD0\xD0\xB0\xB4\xBC\xFC\xBE\xD8\xD5\xF3"
           "0\xC1\xD0",
           &TestConfig::multikey_matrix_col0),
    Column("multikey_matrix_col1[8]",
           "%\xB6\xE0\xD0\xD0\xB0\xB4\xBC\xFC\xBE\xD8\xD5\xF3"
           "1\xC1\xD0",
           &TestConfig::multikey_matrix_col1),
    Column("multikey_matrix_col2[8]",
           "%\xB6\xE0\xD0\xD0\xB0\xB4\xBC\xFC\xBE\xD8\xD5\xF3"
           "2\xC1\xD0",
           &TestConfig::multikey_matrix_col2),
    Column("multikey_matrix_col3[8]",
           "%\xB6\xE0\xD0\xD0\xB0\xB4\xBC\xFC\xBE\xD8\xD5\xF3"
           "3\xC1\xD0",
           &TestConfig::multikey_matrix_col3),
    Column("multikey_matrix_col4[8]",
           "%\xB6\xE0\xD0\xD0\xB0\xB4\xBC\xFC\xBE\xD8\xD5\xF3"
           "4\xC1\xD0",
           &TestConfig::multikey_matrix_col4),
    Column("multikey_matrix_col5[8]",
           "%\xB6\xE0\xD0\xD0\xB0\xB4\xBC\xFC\xBE\xD8\xD5\xF3"
           "5\xC1\xD0",
           &TestConfig::multikey_matrix_col5),
    Column("multikey_matrix_col6[8]",
           "%\xB6\xE0\xD0\xD0\xB0\xB4\xBC\xFC\xBE\xD8\xD5\xF3"
           "6\xC1\xD0",
           &TestConfig::multikey_matrix_col6),
    Column("multikey_matrix_col7[8]",
           "%\xB6\xE0\xD0\xD0\xB0\xB4\xBC\xFC\xBE\xD8\xD5\xF3"
           "7\xC1\xD0",
           &TestConfig::multikey_matrix_col7),
};

constexpr size_t kLineCount = sizeof kLines / sizeof kLines[0];
static_assert(kLineCount == 22);

constexpr Flags8 kColumns[TestConfig::kMatrixSize] = {
    &TestConfig::multikey_matrix_col0, &TestConfig::multikey_matrix_col1,
    &TestConfig::multikey_matrix_col2, &TestConfig::multikey_matrix_col3,
    &TestConfig::multikey_matrix_col4, &TestConfig::multikey_matrix_col5,
    &TestConfig::multikey_matrix_col6, &TestConfig::multikey_matrix_col7,
};

std::string_view Trim(std::string_view text) {
    constexpr std::string_view kBlank = " \t\r\n\v\f";
    const size_t first = text.find_first_not_of(kBlank);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlank) - first + 1);
}

// Entry j is the character before the first separator at or after index 2j+1, so a short
// or malformed list still yields every entry; without a separator the value's first
// character stands in (the "{" of a short list, which reads as 0).
bool ReadFlags(std::string_view value, uint8_t* entries, size_t count) {
    bool ok = true;
    for (size_t j = 0; j < count; ++j) {
        const char separator = j + 1 < count ? ',' : '}';
        const size_t at = value.find(separator, 2 * j + 1);
        char digit = '0';
        if (at != std::string_view::npos) {
            digit = value[at - 1];
        } else if (!value.empty()) {
            digit = value[0];
        }
        const int number = digit >= '0' && digit <= '9' ? digit - '0' : 0;
        entries[j] = number == 1 ? 1 : 0;
        if (number > 1) {
            ok = false;
        }
    }
    return ok;
}

bool InRange(const LineRule& rule, const TestConfig& config, int64_t stored) {
    const int64_t lowest = rule.above ? config.*rule.above + 1 : rule.lowest;
    return stored >= lowest && stored <= rule.highest;
}

bool ReadLine(std::string_view line, TestConfig& config) {
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        return false;  // an empty key is never in the table
    }
    const std::string_view key = line.substr(0, equals);
    const std::string_view rest = line.substr(equals + 1);
    const size_t percent = rest.find('%');
    const std::string_view value =
        percent == std::string_view::npos ? std::string_view() : Trim(rest.substr(0, percent));

    for (const LineRule& rule : kLines) {
        if (rule.key != key) {
            continue;
        }
        switch (rule.kind) {
            case Kind::Scalar8:
                config.*rule.scalar8 = static_cast<uint8_t>(ParseLeadingInteger(value));
                return InRange(rule, config, config.*rule.scalar8);
            case Kind::Scalar16:
                config.*rule.scalar16 = static_cast<uint16_t>(ParseLeadingInteger(value));
                return InRange(rule, config, config.*rule.scalar16);
            case Kind::Flags52:
                return ReadFlags(value, (config.*rule.flags52).data(), TestConfig::kChannels);
            case Kind::Flags8:
                return ReadFlags(value, (config.*rule.flags8).data(), TestConfig::kMatrixSize);
        }
    }
    return false;
}

// error_line has 8 bits; a number that wrapped would send the operator to a good line.
uint8_t LineNumber(int64_t line) {
    return static_cast<uint8_t>(std::clamp<int64_t>(line, 0, 255));
}

void RebuildMatrix(TestConfig& config) {
    for (size_t c = 0; c < TestConfig::kMatrixSize; ++c) {
        for (size_t r = 0; r < TestConfig::kMatrixSize; ++r) {
            config.multikey_matrix[r][c] = (config.*kColumns[c])[r];
        }
    }
}

template <typename Flags>
std::string FlagsText(const Flags& flags, size_t used) {
    std::string text = "{";
    for (size_t j = 0; j < flags.size(); ++j) {
        text += j < used && flags[j] != 0 ? '1' : '0';
        text += j + 1 < flags.size() ? ',' : '}';
    }
    return text;
}

std::string ColumnText(const TestConfig& config, size_t column) {
    TestConfig::ColumnFlags flags{};
    for (size_t r = 0; r < TestConfig::kMatrixSize; ++r) {
        flags[r] = config.multikey_matrix[r][column];
    }
    return FlagsText(flags, flags.size());
}

int64_t CountSet(const TestConfig::ChannelFlags& flags, size_t used) {
    int64_t count = 0;
    for (size_t j = 0; j < used; ++j) {
        count += flags[j] != 0 ? 1 : 0;
    }
    return count;
}

std::string ValueText(const LineRule& rule, const TestConfig& config) {
    if (rule.scalar8 == &TestConfig::test_key_number_x) {
        return FormatDecimal(CountSet(config.test_key_area_x, kXChannels));
    }
    if (rule.scalar8 == &TestConfig::test_key_number_y) {
        return FormatDecimal(CountSet(config.test_key_area_y, TestConfig::kChannels));
    }
    switch (rule.kind) {
        case Kind::Scalar8:
            return FormatDecimal(config.*rule.scalar8);
        case Kind::Scalar16:
            return FormatDecimal(config.*rule.scalar16);
        case Kind::Flags52:
            return FlagsText(config.*rule.flags52, rule.written);
        case Kind::Flags8:
            break;
    }
    for (size_t c = 0; c < TestConfig::kMatrixSize; ++c) {
        if (kColumns[c] == rule.flags8) {
            return ColumnText(config, c);
        }
    }
    return {};
}

}  // namespace

NodeClass ClassifyNode(const TestConfig& config, uint8_t x, uint8_t y) {
    if (x >= config.x_channel_valid || y >= config.y_channel_valid || x >= kXChannels ||
        y >= TestConfig::kChannels) {
        return NodeClass::Outside;
    }
    if (config.test_va_area_x[x] != 0 && config.test_va_area_y[y] != 0) {
        return NodeClass::VisibleArea;
    }
    if (config.test_key_area_x[x] == 0 || config.test_key_area_y[y] == 0) {
        return NodeClass::Untested;
    }
    if (config.test_key_number_x <= 1 || config.test_key_number_y <= 1) {
        return NodeClass::Key;
    }
    size_t column = 0;
    for (size_t i = 0; i < x; ++i) {
        column += config.test_key_area_x[i] != 0 ? 1 : 0;
    }
    size_t row = 0;
    for (size_t i = 0; i < y; ++i) {
        row += config.test_key_area_y[i] != 0 ? 1 : 0;
    }
    if (column >= TestConfig::kMatrixSize || row >= TestConfig::kMatrixSize) {
        return NodeClass::Untested;
    }
    return config.multikey_matrix[row][column] != 0 ? NodeClass::Key : NodeClass::Untested;
}

bool ReadTestConfigText(std::istream& in, TestConfig& live, uint8_t& error_line) {
    bool ok = true;
    int64_t counter = 0;
    std::string line;
    while (std::getline(in, line)) {
        ++counter;
        if (!ok) {
            break;
        }
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!ReadLine(line, live)) {
            ok = false;
            error_line = LineNumber(counter);
        }
    }
    if (ok && counter != static_cast<int64_t>(kLineCount)) {
        ok = false;
        error_line = LineNumber(counter - 2);
    }
    RebuildMatrix(live);
    return ok;
}

bool LoadTestConfig(const std::string& path, TestConfig& live, uint8_t& error_line,
                    Prompter& prompter) {
    const std::filesystem::path file = PathFromUtf8(path);
    std::error_code ignored;
    // A folder opens on some platforms but never reads; it is no configuration file.
    std::ifstream in;
    if (!std::filesystem::is_directory(file, ignored)) {
        in.open(file, std::ios::binary);
    }
    if (!in.is_open()) {
        prompter.ShowMessage("step2:打开文件 \"" + path + " \"失败！", "", MessageButtons::Ok,
                             MessageIcon::None);
        return false;
    }
    return ReadTestConfigText(in, live, error_line);
}

std::string FormatTestConfig(const TestConfig& config) {
    std::string text;
    for (const LineRule& rule : kLines) {
        text += rule.key;
        text += '=';
        text += ValueText(rule, config);
        text += '\t';
        text += rule.comment;
        text += "\r\n";
    }
    return text;
}

bool SaveTestConfig(const std::string& path, const TestConfig& config, Prompter& prompter) {
    std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
    if (!out) {
        prompter.ShowMessage(path + "打开失败！", "", MessageButtons::Ok, MessageIcon::None);
        return false;
    }
    const std::string text = FormatTestConfig(config);
    errno = 0;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (out.fail()) {
        const int error = errno != 0 ? errno : static_cast<int>(std::errc::io_error);
        prompter.ShowMessage(std::generic_category().message(error), "", MessageButtons::Ok,
                             MessageIcon::None);
        return false;
    }
    return true;
}
