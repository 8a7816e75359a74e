#include "config/AdditionalParams.h"

#include <fstream>
#include <string_view>
#include <system_error>

#include "app/Format.h"
#include "config/IniProfile.h"
#include "config/Utf8Path.h"

namespace {

constexpr std::string_view kBasic = "BasicParameters";
constexpr std::string_view kStandards = "TestStandards";
constexpr std::string_view kSamples = "SampleInformation";

bool WriteNumber(const std::filesystem::path& file, std::string_view section, std::string_view key,
                 int64_t value) {
    return WriteProfileString(file, section, key, FormatDecimal(value));
}

}  // namespace

std::filesystem::path AdditionalParamsPath(const std::filesystem::path& workingFolder) {
    return workingFolder / "Config" / "AdditionalPara1.ini";
}

int32_t ReadCriterion(const std::filesystem::path& file) {
    return ReadProfileInt(file, kBasic, "Criterion", 0);
}

bool WriteCriterion(const std::filesystem::path& file, int32_t criterion) {
    return WriteNumber(file, kBasic, "Criterion", criterion);
}

bool ReadOrganiserParams(const std::filesystem::path& file, AdditionalParams& params,
                         Prompter& prompter) {
    std::error_code ignored;
    if (std::filesystem::is_directory(file, ignored) || !std::ifstream(file, std::ios::binary)) {
        prompter.ShowMessage("打开文件 \"" + Utf8FromPath(file) + " \"失败！", "",
                             MessageButtons::Ok, MessageIcon::None);
        return false;
    }
    params.BasicParametersFullDirectory =
        ReadProfileString(file, kBasic, "BasicParametersFullDirectory", "");
    params.DeviationMethod = ReadProfileInt(file, kStandards, "DeviationMethod", 0);
    params.AbsoluteDeviationNegative =
        static_cast<uint32_t>(ReadProfileInt(file, kStandards, "AbsoluteDeviationNegative", 0));
    params.AbsoluteDeviationPositive =
        static_cast<uint32_t>(ReadProfileInt(file, kStandards, "AbsoluteDeviationPositive", 0));
    params.RelativeDeviationNegative =
        static_cast<uint8_t>(ReadProfileInt(file, kStandards, "RelativeDeviationNegative", 0));
    params.RelativeDeviationPositive =
        static_cast<uint8_t>(ReadProfileInt(file, kStandards, "RelativeDeviationPositive", 0));
    params.NumberOfSamplesListMAX = ReadProfileInt(file, kSamples, "NumberOfSamplesListMAX", 0);
    params.NumberOfSamplesListed = ReadProfileInt(file, kSamples, "NumberOfSamplesListed", 0);
    return true;
}

bool WriteOrganiserParams(const std::filesystem::path& file, const AdditionalParams& params,
                          const std::string& configFilePath) {
    bool ok = WriteProfileString(file, kBasic, "BasicParametersFullDirectory", configFilePath);
    ok &= WriteNumber(file, kStandards, "DeviationMethod", params.DeviationMethod);
    ok &= WriteNumber(file, kStandards, "AbsoluteDeviationNegative",
                      params.AbsoluteDeviationNegative);
    ok &= WriteNumber(file, kStandards, "AbsoluteDeviationPositive",
                      params.AbsoluteDeviationPositive);
    ok &= WriteNumber(file, kStandards, "RelativeDeviationNegative",
                      params.RelativeDeviationNegative);
    ok &= WriteNumber(file, kStandards, "RelativeDeviationPositive",
                      params.RelativeDeviationPositive);
    ok &= WriteNumber(file, kSamples, "NumberOfSamplesListed", params.NumberOfSamplesListed);
    return ok;
}
