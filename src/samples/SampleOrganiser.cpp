#include "samples/SampleOrganiser.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <limits>
#include <optional>
#include <system_error>

#include "app/Format.h"
#include "app/Station.h"
#include "config/Utf8Path.h"
#include "samples/SampleClock.h"

namespace {

constexpr std::string_view kEmptyList = "列表为空，请先获取样本或者导入样本文件";
constexpr std::string_view kFullList = "列表已满，请清空！";
constexpr std::string_view kPositivePrompt = "“请填入一个正整数。”";
constexpr uint32_t kAbsoluteNegativeMax = 20000;
constexpr uint32_t kPercentMax = 100;
constexpr uint32_t kByteMax = 255;

// Digits with blanks around them, within 32 bits; nothing for any other text.
std::optional<uint32_t> ParseFieldNumber(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::string RangePrompt(uint32_t low, uint32_t high) {
    return "“请填入一个在" + FormatDecimal(low) + "和" + FormatDecimal(high) + "之间的整数。”";
}

bool IsIniFile(const std::filesystem::path& file) {
    std::string extension = Utf8FromPath(file.extension());
    std::transform(extension.begin(), extension.end(), extension.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return extension == ".ini";
}

SampleFileResult CopySample(const std::string& source, const std::string& target) {
    const std::filesystem::path from = PathFromUtf8(source);
    const std::filesystem::path to = PathFromUtf8(target);
    std::error_code error;
    if (!std::filesystem::is_regular_file(from, error)) {
        return {false, "打开文件 \"" + source + "\" 失败！"};
    }
    // Copying a file onto itself would fail, and it is already where the operator wants it.
    if (std::filesystem::equivalent(from, to, error)) {
        return {};
    }
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, error);
    if (error) {
        return {false, "写入文件 \"" + target + "\" 失败！"};
    }
    return {};
}

}  // namespace

const std::array<std::string_view, kOrganiserColumns> kOrganiserHeadings = {
    "序号", "时间", "来源", "VAmax", "VAmin", "VAaver", "KEYmax", "KEYmin", "KEYaver"};
const std::array<int, kOrganiserColumns> kOrganiserColumnWidths = {50, 75, 75, 75, 75,
                                                                   75, 75, 75, 75};

std::array<std::string, kOrganiserColumns> OrganiserRowTexts(size_t index,
                                                             const SampleRecord& record) {
    return {Right(FormatPadded(static_cast<int32_t>(index), 10), 2),
            record.Time,
            std::string(SampleSourceText(record.Source)),
            FormatDecimal(record.VAmax),
            FormatDecimal(record.VAmin),
            FormatDecimal(record.VAaverage),
            FormatDecimal(record.KEYmax),
            FormatDecimal(record.KEYmin),
            FormatDecimal(record.KEYaverage)};
}

std::string WithSampleExtension(const std::string& path) {
    const std::string name = Utf8FromPath(PathFromUtf8(path).filename());
    if (name.size() < 4 || !name.ends_with(".ini")) {
        return path + ".ini";
    }
    return path;
}

std::string SampleFileInitialName(const std::string& workingFolder) {
    return Utf8FromPath(PathFromUtf8(workingFolder) / "Sample" / ".ini");
}

SampleOrganiser::SampleOrganiser(Station& station, SampleOrganiserForm& form, Prompter& prompter)
    : station_(station), form_(form), prompter_(prompter) {
    params_.DeviationMethod = 1;
    station_.enableAcquireButton = [this] {
        form_.EnableControl(organiserids::kButtonAcquire, true);
    };
}

SampleOrganiser::~SampleOrganiser() {
    station_.enableAcquireButton = {};
}

void SampleOrganiser::Initialise() {
    ReadOrganiserParams(AdditionalParamsPath(PathFromUtf8(station_.workingFolder)), params_,
                        prompter_);
    rows_.clear();
    rowCount_ = 0;
    form_.ShowRows();
    EnableMethodRows();
    form_.SetTimer(organiserids::kLinkTimer, organiserids::kTimerPeriodMs);
    for (const int button : {organiserids::kButtonAverage, organiserids::kButtonClear,
                             organiserids::kButtonImport, organiserids::kButtonExport}) {
        form_.EnableControl(button, true);
    }
    form_.EnableControl(organiserids::kSelectAll, false);
    ShowFields();
}

void SampleOrganiser::OnTimer(int timerId) {
    if (timerId == organiserids::kLinkTimer) {
        form_.EnableControl(organiserids::kButtonAcquire, station_.linkOk);
        return;
    }
    if (timerId != organiserids::kAcquisitionTimer || station_.sampleRequested) {
        return;
    }
    form_.KillTimer(organiserids::kAcquisitionTimer);
    if (!acquisitionPending_) {
        return;
    }
    acquisitionPending_ = false;
    // No sample when the configuration was missing, the panel could not be measured or the
    // file could not be written: the record then still holds an older sample.
    if (station_.sampleAcquired) {
        AddRow(station_.sampleRecord);
    }
}

void SampleOrganiser::Acquire() {
    const int64_t capacity = std::min<int64_t>(params_.NumberOfSamplesListMAX, kMaxListedSamples);
    if (static_cast<int64_t>(rowCount_) >= capacity) {
        Warn(kFullList);
        form_.EnableControl(organiserids::kButtonAcquire, false);
        rowCount_ = 0;
    } else {
        form_.KillTimer(organiserids::kLinkTimer);
        form_.EnableControl(organiserids::kButtonAcquire, false);
        station_.view.SetTimer(timers::kSampleAcquisition, Station::kSampleAcquisitionPeriodMs);
        station_.sampleRequested = true;
        acquisitionPending_ = true;
        form_.SetTimer(organiserids::kAcquisitionTimer, organiserids::kTimerPeriodMs);
    }
    form_.EnableControl(organiserids::kButtonAverage, true);
    form_.EnableControl(organiserids::kSelectAll, true);
}

void SampleOrganiser::Average() {
    if (rowCount_ == 0) {
        Warn(kEmptyList);
        return;
    }
    const std::vector<size_t> checked = CheckedRows();
    if (checked.size() < 3) {
        Warn("请先在“□”打钩选中至少3个样本，再点击“生成平均样本”");
        return;
    }
    if (!HasRoom()) {
        return;
    }
    std::vector<std::string> paths;
    for (const size_t row : checked) {
        paths.push_back(samplePaths_[row]);
    }
    const SampleFolders folders = Folders();
    SampleRecord record;
    const SampleFileResult result =
        AverageSampleFiles(folders, station_.testConfig, paths, average_, record,
                           FreshSampleClock(folders.tempSampleFolder, station_.sampleClock));
    if (!result.ok) {
        Warn(result.message);
        return;
    }
    station_.sampleRecord = record;
    AddRow(record);
}

void SampleOrganiser::Clear() {
    rows_.clear();
    rowCount_ = 0;
    form_.ShowRows();
    form_.EnableControl(organiserids::kButtonAverage, false);
    form_.EnableControl(organiserids::kSelectAll, false);

    std::optional<std::string> failed;
    std::error_code error;
    for (std::filesystem::directory_iterator it(PathFromUtf8(station_.tempSampleFolder), error),
         end;
         !error && it != end; it.increment(error)) {
        const std::filesystem::path file = it->path();
        std::error_code kind;
        if (!IsIniFile(file) || !it->is_regular_file(kind)) {
            continue;
        }
        std::error_code removal;
        if (!std::filesystem::remove(file, removal) && removal && !failed) {
            failed = Utf8FromPath(file);
        }
    }
    samplePaths_.fill(std::string());
    if (failed) {
        Warn("删除文件 \"" + *failed + "\" 失败！");
    }
    // A full list disabled "获取一个样本"; the cleared list must be able to take samples again.
    if (!acquisitionPending_) {
        form_.EnableControl(organiserids::kButtonAcquire, station_.linkOk);
    }
}

void SampleOrganiser::UseChecked() {
    // A value the operator was just told is out of range must not judge panels.
    const bool fieldsValid = ReadFields();
    form_.EnableControl(organiserids::kButtonUse, false);
    if (fieldsValid) {
        PutCheckedToUse();
    }
    form_.EnableControl(organiserids::kButtonUse, true);
    ShowFields();
}

void SampleOrganiser::PutCheckedToUse() {
    if (rowCount_ == 0) {
        Warn(kEmptyList);
        return;
    }
    const std::vector<size_t> checked = CheckedRows();
    if (checked.empty()) {
        Warn("请先在“□”打钩选中1个样本，再点击“使用选中样本”");
        return;
    }
    if (checked.size() > 1) {
        Warn("最多只能选择1个样本用于测试");
        return;
    }
    if (!station_.HasTestConfiguration()) {
        // Limits over no channel would let every panel pass unjudged.
        Warn("请先导入测试配置，再使用选中样本");
        return;
    }
    const std::string& path = samplePaths_[checked.front()];
    SampleMatrix low{};
    SampleMatrix high{};
    SampleFileResult result = DeriveSampleLimits(path, station_.testConfig, Standard(), low, high);
    if (!result.ok) {
        Warn(result.message);
        return;
    }
    station_.sampleRecord.path = path;
    station_.SampleRawDataLow = low;
    station_.SampleRawDataHigh = high;
    result = WriteSampleLimitFiles(PathFromUtf8(station_.workingFolder) / "Config", low, high);
    // The limits judge from memory; the files are only kept for inspection.
    if (!result.ok) {
        Warn(result.message);
    }
    station_.configState.configValid = true;
    station_.log.AppendLog("配置文件正确", 0, 1);
    if (station_.linkOk && station_.controllerReady) {
        station_.view.EnableControl(ids::kStartButton, true);
    }
}

void SampleOrganiser::Import() {
    if (!HasRoom()) {
        return;
    }
    const std::string path = prompter_.ChooseFileToOpen(
        kSampleFileFilter, SampleFileInitialName(station_.workingFolder));
    if (path.empty()) {
        return;
    }
    SampleRecord record;
    const SampleFileResult result = ReadSampleHeader(path, record);
    if (!result.ok) {
        Warn(result.message);
        return;
    }
    station_.sampleRecord = record;
    AddRow(record);
}

void SampleOrganiser::Export() {
    if (rowCount_ == 0) {
        Warn(kEmptyList);
        return;
    }
    const std::vector<size_t> checked = CheckedRows();
    if (checked.empty()) {
        Warn("请先在“□”打钩选中至少1个样本，再点击“导出样本文件”");
        return;
    }
    for (const size_t row : checked) {
        const std::string chosen = prompter_.ChooseFileToSave(
            kSampleFileFilter, SampleFileInitialName(station_.workingFolder));
        if (!chosen.empty()) {
            const std::string target = WithSampleExtension(chosen);
            std::error_code unknown;
            // The chooser asked about the name as typed, not about the one with ".ini".
            const bool replaceUnasked =
                target != chosen && std::filesystem::exists(PathFromUtf8(target), unknown);
            if (!replaceUnasked ||
                prompter_.ShowMessage(target + " 已存在。\n要替换它吗？", "提示",
                                      MessageButtons::OkCancel,
                                      MessageIcon::Exclamation) == MessageAnswer::Ok) {
                const SampleFileResult result = CopySample(samplePaths_[row], target);
                if (!result.ok) {
                    Warn(result.message);
                }
            }
        }
        rows_[row].checked = false;
    }
    form_.ShowRows();
}

void SampleOrganiser::SelectAll(bool checked) {
    for (size_t row = 0; row < rowCount_; ++row) {
        rows_[row].checked = checked;
    }
    form_.SetSelectAllCaption(checked ? "全部取消" : "全选");
    form_.ShowRows();
}

void SampleOrganiser::ChooseMethod(int method) {
    params_.DeviationMethod = method;
    EnableMethodRows();
}

void SampleOrganiser::SetRowChecked(size_t row, bool checked) {
    if (row < rows_.size()) {
        rows_[row].checked = checked;
    }
}

void SampleOrganiser::Close() {
    ReadFields();
    const std::filesystem::path file = AdditionalParamsPath(PathFromUtf8(station_.workingFolder));
    if (!WriteOrganiserParams(file, params_, station_.configState.config_file_path)) {
        Warn("写入文件 \"" + Utf8FromPath(file) + "\" 失败！");
    }
    ShowFields();
    form_.KillTimer(organiserids::kLinkTimer);
}

void SampleOrganiser::Reshow() {
    if (!acquisitionPending_) {
        form_.SetTimer(organiserids::kLinkTimer, organiserids::kTimerPeriodMs);
    }
}

bool SampleOrganiser::ReadFields() {
    const int method = form_.CheckedMethod();
    if (method == 0 || method == 1) {
        params_.DeviationMethod = method;
    }
    std::string prompt;
    const auto unsignedField = [&](int fieldId, uint32_t& member, uint32_t max) {
        const std::optional<uint32_t> number = ParseFieldNumber(form_.FieldText(fieldId));
        if (!number) {
            prompt = kPositivePrompt;
            return false;
        }
        member = *number;
        if (*number > max) {
            prompt = RangePrompt(0, max);
            return false;
        }
        return true;
    };
    const auto percentField = [&](int fieldId, uint8_t& member) {
        const std::optional<uint32_t> number = ParseFieldNumber(form_.FieldText(fieldId));
        if (!number || *number > kByteMax) {
            prompt = RangePrompt(0, kByteMax);
            return false;
        }
        member = static_cast<uint8_t>(*number);
        if (*number > kPercentMax) {
            prompt = RangePrompt(0, kPercentMax);
            return false;
        }
        return true;
    };
    const bool valid =
        unsignedField(organiserids::kFieldAbsoluteNegative, params_.AbsoluteDeviationNegative,
                      kAbsoluteNegativeMax) &&
        unsignedField(organiserids::kFieldAbsolutePositive, params_.AbsoluteDeviationPositive,
                      std::numeric_limits<uint32_t>::max()) &&
        percentField(organiserids::kFieldRelativeNegative, params_.RelativeDeviationNegative) &&
        percentField(organiserids::kFieldRelativePositive, params_.RelativeDeviationPositive);
    if (!valid) {
        prompter_.ShowMessage(prompt, "", MessageButtons::Ok, MessageIcon::Exclamation);
    }
    return valid;
}

void SampleOrganiser::ShowFields() {
    form_.CheckMethod(params_.DeviationMethod);
    form_.SetFieldText(organiserids::kFieldAbsoluteNegative,
                       FormatDecimal(params_.AbsoluteDeviationNegative));
    form_.SetFieldText(organiserids::kFieldAbsolutePositive,
                       FormatDecimal(params_.AbsoluteDeviationPositive));
    form_.SetFieldText(organiserids::kFieldRelativeNegative,
                       FormatDecimal(params_.RelativeDeviationNegative));
    form_.SetFieldText(organiserids::kFieldRelativePositive,
                       FormatDecimal(params_.RelativeDeviationPositive));
}

TestStandard SampleOrganiser::Standard() const {
    return {params_.DeviationMethod, params_.AbsoluteDeviationNegative,
            params_.AbsoluteDeviationPositive, params_.RelativeDeviationNegative,
            params_.RelativeDeviationPositive};
}

bool SampleOrganiser::HasRoom() {
    if (rowCount_ < kMaxListedSamples) {
        return true;
    }
    Warn(kFullList);
    return false;
}

void SampleOrganiser::AddRow(const SampleRecord& record) {
    if (!HasRoom()) {
        return;
    }
    samplePaths_[rowCount_] = record.path;
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(rowCount_),
                 OrganiserRow{OrganiserRowTexts(rowCount_, record), false});
    ++rowCount_;
    form_.ShowRows();
    // A listed sample can be averaged and selected, however it came into the list.
    form_.EnableControl(organiserids::kButtonAverage, true);
    form_.EnableControl(organiserids::kSelectAll, true);
}

std::vector<size_t> SampleOrganiser::CheckedRows() const {
    std::vector<size_t> checked;
    for (size_t row = 0; row < rowCount_; ++row) {
        if (rows_[row].checked) {
            checked.push_back(row);
        }
    }
    return checked;
}

void SampleOrganiser::EnableMethodRows() {
    for (const int id : organiserids::kAbsoluteRow) {
        form_.EnableControl(id, params_.DeviationMethod == 0);
    }
    for (const int id : organiserids::kPercentageRow) {
        form_.EnableControl(id, params_.DeviationMethod == 1);
    }
}

void SampleOrganiser::Warn(std::string_view text) {
    prompter_.ShowMessage(text, "提示", MessageButtons::Ok, MessageIcon::Exclamation);
}

SampleFolders SampleOrganiser::Folders() const {
    return {PathFromUtf8(station_.workingFolder), PathFromUtf8(station_.tempSampleFolder)};
}
