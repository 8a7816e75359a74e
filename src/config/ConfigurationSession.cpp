#include "config/ConfigurationSession.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <system_error>
#include <utility>

#include "app/Format.h"
#include "config/AdditionalParams.h"
#include "config/Utf8Path.h"

namespace {

constexpr uint32_t kLimitLow = 16000;
constexpr uint32_t kLimitHigh = 40000;

enum class FieldKind { Channel, Limit };

struct FieldRule {
    int id;
    FieldKind kind;
    uint32_t entryMax;
};

// The order in which the window is read; a prompt leaves the later fields unread.
constexpr FieldRule kReadOrder[] = {
    {configids::kFieldKeyMin, FieldKind::Limit, 30000},
    {configids::kFieldKeyMax, FieldKind::Limit, 40000},
    {configids::kFieldXCount, FieldKind::Channel, 32},
    {configids::kFieldYCount, FieldKind::Channel, 52},
    {configids::kFieldVaMin, FieldKind::Limit, 30000},
    {configids::kFieldVaMax, FieldKind::Limit, 40000},
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Digits only, blanks around them allowed; nullopt for anything else or more than 32 bits.
std::optional<uint32_t> ParseUnsigned(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > std::numeric_limits<uint32_t>::max()) {
            return std::nullopt;
        }
    }
    return static_cast<uint32_t>(value);
}

std::string RangePrompt(uint32_t low, uint32_t high) {
    return "“请填入一个在" + FormatDecimal(low) + "和" + FormatDecimal(high) + "之间的整数。”";
}

uint8_t CountSet(const TestConfig::ChannelFlags& flags, size_t items) {
    return static_cast<uint8_t>(std::count_if(flags.begin(),
                                              flags.begin() + static_cast<std::ptrdiff_t>(items),
                                              [](uint8_t flag) { return flag != 0; }));
}

bool SameFlags(const TestConfig::ChannelFlags& working, const TestConfig::ChannelFlags& live,
               size_t items) {
    for (size_t i = 0; i < items; ++i) {
        if ((working[i] != 0) != (live[i] != 0)) {
            return false;
        }
    }
    return true;
}

void CopyFlags(const TestConfig::ChannelFlags& from, TestConfig::ChannelFlags& to, size_t items) {
    std::copy_n(from.begin(), items, to.begin());
}

void SetColumns(TestConfig& config, const WorkingConfig::KeyMatrix& matrix) {
    TestConfig::ColumnFlags* const columns[] = {
        &config.multikey_matrix_col0, &config.multikey_matrix_col1, &config.multikey_matrix_col2,
        &config.multikey_matrix_col3, &config.multikey_matrix_col4, &config.multikey_matrix_col5,
        &config.multikey_matrix_col6, &config.multikey_matrix_col7,
    };
    for (size_t c = 0; c < TestConfig::kMatrixSize; ++c) {
        for (size_t r = 0; r < TestConfig::kMatrixSize; ++r) {
            (*columns[c])[r] = matrix[r][c];
        }
    }
    config.multikey_matrix = matrix;
}

}  // namespace

std::string ChannelItemText(char axis, unsigned channel) {
    return std::string(1, axis) + Right(FormatPadded(static_cast<int32_t>(channel), 10), 2);
}

size_t ChannelListItems(int listId) {
    const bool xList = listId == configids::kListDisplayX || listId == configids::kListVaX ||
                       listId == configids::kListKeyX;
    return xList ? kXListItems : kYListItems;
}

std::string ConfigFileInitialName(const std::string& workingFolder) {
    return Utf8FromPath(PathFromUtf8(workingFolder) / "Config" / ".txt");
}

std::string WithTextExtension(const std::string& path) {
    const std::string name = Utf8FromPath(PathFromUtf8(path).filename());
    if (name.size() < 4 || !name.ends_with(".txt")) {
        return path + ".txt";
    }
    return path;
}

ConfigurationSession::ConfigurationSession(ConfigurationHost host, ConfigurationForm& form,
                                           Prompter& prompter)
    : host_(std::move(host)), form_(form), prompter_(prompter) {}

void ConfigurationSession::Open() {
    ReadWindow();
    for (const int list : kChannelLists) {
        for (size_t i = 0; i < ChannelListItems(list); ++i) {
            form_.SetItemChecked(list, i, false);
        }
    }
    const int32_t criterion =
        ReadCriterion(AdditionalParamsPath(PathFromUtf8(host_.workingFolder)));
    working_.criterion = criterion;
    host_.state.Criterion = criterion;
    if (criterion == 0 || criterion == 1) {
        host_.mainWindow.EnableMenuItem(ids::kMenuSamples, criterion == 1);
    }
    form_.EnableButton(configids::kButtonMultiKeys, false);
    working_.keyCountX = 0;
    working_.keyCountY = 0;
    working_.multikey_matrix = {};
    working_.multiKeyChanged = false;
    WriteWindow();
}

bool ConfigurationSession::ReadWindow() {
    for (const FieldRule& rule : kReadOrder) {
        const std::optional<uint32_t> number = ParseUnsigned(form_.FieldText(rule.id));
        const bool channel = rule.kind == FieldKind::Channel;
        std::string prompt;
        if (!number || (channel && *number > 255)) {
            prompt = channel ? RangePrompt(0, 255) : "“请填入一个正整数。”";
        } else {
            switch (rule.id) {
                case configids::kFieldXCount:
                    working_.x_channel_valid = static_cast<uint8_t>(*number);
                    break;
                case configids::kFieldYCount:
                    working_.y_channel_valid = static_cast<uint8_t>(*number);
                    break;
                case configids::kFieldVaMin:
                    working_.rawdata_va_min = *number;
                    break;
                case configids::kFieldVaMax:
                    working_.rawdata_va_max = *number;
                    break;
                case configids::kFieldKeyMin:
                    working_.rawdata_key_min = *number;
                    break;
                default:
                    working_.rawdata_key_max = *number;
                    break;
            }
            if (*number > rule.entryMax) {
                prompt = RangePrompt(0, rule.entryMax);
            }
        }
        if (!prompt.empty()) {
            prompter_.ShowMessage(prompt, "", MessageButtons::Ok, MessageIcon::Exclamation);
            form_.FocusField(rule.id);
            return false;
        }
    }
    const int checked = form_.CheckedCriterion();
    if (checked == 0 || checked == 1) {
        working_.criterion = checked;
    }
    return true;
}

void ConfigurationSession::WriteWindow() {
    form_.SetFieldText(configids::kFieldXCount, FormatDecimal(working_.x_channel_valid));
    form_.SetFieldText(configids::kFieldYCount, FormatDecimal(working_.y_channel_valid));
    form_.SetFieldText(configids::kFieldVaMin, FormatDecimal(working_.rawdata_va_min));
    form_.SetFieldText(configids::kFieldVaMax, FormatDecimal(working_.rawdata_va_max));
    form_.SetFieldText(configids::kFieldKeyMin, FormatDecimal(working_.rawdata_key_min));
    form_.SetFieldText(configids::kFieldKeyMax, FormatDecimal(working_.rawdata_key_max));
    form_.CheckCriterion(working_.criterion);
}

void ConfigurationSession::Import() {
    const std::string path =
        prompter_.ChooseFileToOpen(kConfigFileFilter, ConfigFileInitialName(host_.workingFolder));
    std::error_code ignored;
    // A folder opens as a stream on some platforms, yet holds no configuration.
    if (path.empty() || std::filesystem::is_directory(PathFromUtf8(path), ignored) ||
        !std::ifstream(PathFromUtf8(path), std::ios::binary)) {
        return;
    }
    working_.path = path;
    if (!LoadTestConfig(path, host_.live, host_.state.error_line, host_.mainWindow)) {
        host_.liveConfigComplete = false;
        ClearConfigValid();
        const std::string line = Right(FormatPadded(host_.state.error_line, 10), 2);
        host_.log.AppendLog("配置文件错误>_<,", 0, 0);
        host_.log.AppendLog("位置在第" + line + "行。", 0, 1);
        prompter_.ShowMessage("配置文件错误，位置在第" + line + "行", "配置错误",
                              MessageButtons::Ok, MessageIcon::Stop);
        return;
    }
    host_.liveConfigComplete = true;
    const TestConfig& live = host_.live;
    ReadWindow();
    working_.x_channel_valid = live.x_channel_valid;
    working_.y_channel_valid = live.y_channel_valid;
    working_.rawdata_va_min = live.rawdata_va_min;
    working_.rawdata_va_max = live.rawdata_va_max;
    working_.rawdata_key_min = live.rawdata_key_min;
    working_.rawdata_key_max = live.rawdata_key_max;
    SetListFromLive(configids::kListDisplayX, live.display_area_x, kXListItems);
    SetListFromLive(configids::kListVaX, live.test_va_area_x, kXListItems);
    SetListFromLive(configids::kListKeyX, live.test_key_area_x, kXListItems);
    SetListFromLive(configids::kListDisplayY, live.display_area_y, kYListItems);
    SetListFromLive(configids::kListVaY, live.test_va_area_y, kYListItems);
    SetListFromLive(configids::kListKeyY, live.test_key_area_y, kYListItems);
    RecountKeys();
    working_.multikey_matrix = live.multikey_matrix;
    WriteWindow();
}

bool ConfigurationSession::Export() {
    if (!Validate()) {
        return false;
    }
    const std::string chosen =
        prompter_.ChooseFileToSave(kConfigFileFilter, ConfigFileInitialName(host_.workingFolder));
    if (chosen.empty()) {
        return false;
    }
    const std::string path = WithTextExtension(chosen);
    ReadWindow();
    const bool saved = SaveTestConfig(path, WorkingRecord(), prompter_);
    WriteWindow();
    if (!saved) {
        return false;
    }
    working_.path = path;
    Apply();
    return true;
}

TestConfig ConfigurationSession::WorkingRecord() const {
    TestConfig config;
    config.x_channel_valid = working_.x_channel_valid;
    config.y_channel_valid = working_.y_channel_valid;
    config.rawdata_va_min = static_cast<uint16_t>(working_.rawdata_va_min);
    config.rawdata_va_max = static_cast<uint16_t>(working_.rawdata_va_max);
    config.rawdata_key_min = static_cast<uint16_t>(working_.rawdata_key_min);
    config.rawdata_key_max = static_cast<uint16_t>(working_.rawdata_key_max);
    CopyFlags(working_.display_area_x, config.display_area_x, kXListItems);
    CopyFlags(working_.test_va_area_x, config.test_va_area_x, kXListItems);
    CopyFlags(working_.test_key_area_x, config.test_key_area_x, kXListItems);
    config.display_area_y = working_.display_area_y;
    config.test_va_area_y = working_.test_va_area_y;
    config.test_key_area_y = working_.test_key_area_y;
    config.test_key_number_x = working_.keyCountX;
    config.test_key_number_y = working_.keyCountY;
    SetColumns(config, working_.multikey_matrix);
    return config;
}

void ConfigurationSession::Apply() {
    TestConfig applied = WorkingRecord();
    TestConfig& live = host_.live;
    // Entries 32..51 of the X arrays are the live record's own; the window has no items for
    // them.
    for (const auto member :
         {&TestConfig::display_area_x, &TestConfig::test_va_area_x, &TestConfig::test_key_area_x}) {
        std::copy((live.*member).begin() + kXListItems, (live.*member).end(),
                  (applied.*member).begin() + kXListItems);
    }
    live = applied;
    host_.state.Criterion = working_.criterion;
    host_.liveConfigComplete = true;
}

bool ConfigurationSession::DiffersFromLive() {
    ReadWindow();
    const TestConfig& live = host_.live;
    const bool differs = working_.x_channel_valid != live.x_channel_valid ||
                         working_.y_channel_valid != live.y_channel_valid ||
                         working_.rawdata_va_min != live.rawdata_va_min ||
                         working_.rawdata_va_max != live.rawdata_va_max ||
                         working_.rawdata_key_min != live.rawdata_key_min ||
                         working_.rawdata_key_max != live.rawdata_key_max ||
                         !SameFlags(working_.display_area_x, live.display_area_x, kXListItems) ||
                         !SameFlags(working_.test_va_area_x, live.test_va_area_x, kXListItems) ||
                         !SameFlags(working_.test_key_area_x, live.test_key_area_x, kXListItems) ||
                         !SameFlags(working_.display_area_y, live.display_area_y, kYListItems) ||
                         !SameFlags(working_.test_va_area_y, live.test_va_area_y, kYListItems) ||
                         !SameFlags(working_.test_key_area_y, live.test_key_area_y, kYListItems) ||
                         working_.multiKeyChanged;
    WriteWindow();
    return differs;
}

bool ConfigurationSession::ShowValidationError(const std::string& text) {
    prompter_.ShowMessage(text, "配置错误", MessageButtons::Ok, MessageIcon::Stop);
    return false;
}

bool ConfigurationSession::Validate() {
    ReadWindow();
    const WorkingConfig& w = working_;
    const std::string range = FormatDecimal(kLimitLow) + "~" + FormatDecimal(kLimitHigh);
    bool valid = true;
    if (w.x_channel_valid < 1 || w.x_channel_valid > 32) {
        valid = ShowValidationError("X有效通道数量 错误，范围应该是1~32");
    } else if (w.y_channel_valid < 1 || w.y_channel_valid > 52) {
        valid = ShowValidationError("Y有效通道数量 错误，范围应该是1~52");
    } else if (w.rawdata_va_min < kLimitLow || w.rawdata_va_min > kLimitHigh) {
        valid = ShowValidationError("VA区测试值下限 错误，范围应该是" + range);
    } else if (w.rawdata_va_max <= w.rawdata_va_min || w.rawdata_va_max > kLimitHigh) {
        valid = ShowValidationError("VA区测试值上限 错误，范围应该是 VA区测试值下限~" +
                                    FormatDecimal(kLimitHigh));
    } else if (w.rawdata_key_min < kLimitLow || w.rawdata_key_min > kLimitHigh) {
        valid = ShowValidationError("按键区测试值下限 错误，范围应该是" + range);
    } else if (w.rawdata_key_max <= w.rawdata_key_min || w.rawdata_key_max > kLimitHigh) {
        valid = ShowValidationError("按键区测试值上限 错误，范围应该是 按键区测试值下限~" +
                                    FormatDecimal(kLimitHigh));
    }
    working_.valid = valid;
    WriteWindow();
    return valid;
}

void ConfigurationSession::ClearConfigValid() {
    // Start must never stay enabled while configValid is false, even if the window is then
    // left with Enter or Escape.
    host_.state.configValid = false;
    host_.mainWindow.EnableControl(ids::kStartButton, false);
}

void ConfigurationSession::ChooseCriterion(int criterion) {
    working_.criterion = criterion;
    host_.mainWindow.EnableMenuItem(ids::kMenuSamples, criterion == 1);
    host_.state.Criterion = criterion;
    ClearConfigValid();
}

TestConfig::ChannelFlags* ConfigurationSession::ListFlags(int listId) {
    switch (listId) {
        case configids::kListDisplayX:
            return &working_.display_area_x;
        case configids::kListDisplayY:
            return &working_.display_area_y;
        case configids::kListVaX:
            return &working_.test_va_area_x;
        case configids::kListVaY:
            return &working_.test_va_area_y;
        case configids::kListKeyX:
            return &working_.test_key_area_x;
        case configids::kListKeyY:
            return &working_.test_key_area_y;
        default:
            return nullptr;
    }
}

void ConfigurationSession::SetItemChecked(int listId, size_t item, bool checked) {
    TestConfig::ChannelFlags* const flags = ListFlags(listId);
    if (flags == nullptr || item >= ChannelListItems(listId)) {
        return;
    }
    (*flags)[item] = checked ? 1 : 0;
    if (listId == configids::kListKeyX || listId == configids::kListKeyY) {
        RecountKeys();
    }
}

void ConfigurationSession::SetListFromLive(int listId, const TestConfig::ChannelFlags& flags,
                                           size_t items) {
    TestConfig::ChannelFlags& working = *ListFlags(listId);
    for (size_t i = 0; i < items; ++i) {
        working[i] = flags[i] != 0 ? 1 : 0;
        form_.SetItemChecked(listId, i, working[i] != 0);
    }
}

void ConfigurationSession::RecountKeys() {
    working_.keyCountX = CountSet(working_.test_key_area_x, kXListItems);
    working_.keyCountY = CountSet(working_.test_key_area_y, kYListItems);
    form_.EnableButton(configids::kButtonMultiKeys,
                       working_.keyCountX >= 2 && working_.keyCountY >= 2);
}

bool ConfigurationSession::Close() {
    const bool differs = DiffersFromLive();
    const bool valid = Validate();
    bool closes = true;
    if (valid) {
        if (differs && prompter_.ShowMessage("当前配置已经更改，是否保存？", "保存当前配置",
                                             MessageButtons::OkCancel,
                                             MessageIcon::Exclamation) == MessageAnswer::Ok) {
            Export();
        }
        ConfigState& state = host_.state;
        state.config_file_path = working_.path;
        // A record that was never applied, or that a rejected import left half written,
        // would let a test pass panels without judging them as configured.
        if (state.Criterion == 0 && host_.liveConfigComplete) {
            state.configValid = true;
            host_.log.AppendLog("配置文件正确", 0, 1);
        }
        if (working_.criterion == 0) {
            host_.log.AppendLog("判定依据：测试值上下限范围", 0, 1);
        } else if (working_.criterion == 1) {
            host_.log.AppendLog("判定依据：样本偏差", 0, 1);
        }
        host_.mainWindow.EnableControl(ids::kStartButton, state.configValid && host_.linkOk);
        host_.mainWindow.RebuildGrid();
    } else {
        closes = prompter_.ShowMessage("当前配置错误，继续更改(确定)，还是放弃(取消)？", "配置错误",
                                       MessageButtons::OkCancel,
                                       MessageIcon::Stop) == MessageAnswer::Cancel;
    }
    WriteCriterion(AdditionalParamsPath(PathFromUtf8(host_.workingFolder)), host_.state.Criterion);
    return closes;
}
