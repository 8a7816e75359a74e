#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "app/StationView.h"

// The settings kept in <workingFolder>/Config/AdditionalPara1.ini, with the defaults that a
// missing key reads as. The configuration window owns Criterion; the sample organiser owns
// the rest.
struct AdditionalParams {
    // [BasicParameters]
    int32_t Criterion = 0;                     // 0 by limits, 1 by sample deviation
    std::string BasicParametersFullDirectory;  // config file in use, a note for the operator
    // [TestStandards]
    int32_t DeviationMethod = 0;  // 0 absolute, 1 percentage
    uint32_t AbsoluteDeviationNegative = 0;
    uint32_t AbsoluteDeviationPositive = 0;
    uint8_t RelativeDeviationNegative = 0;  // percent; the file's value keeps its low 8 bits
    uint8_t RelativeDeviationPositive = 0;
    // [SampleInformation]
    int32_t NumberOfSamplesListMAX = 0;  // never written: the operator adds it by hand
    int32_t NumberOfSamplesListed = 0;   // carried through unchanged

    friend bool operator==(const AdditionalParams&, const AdditionalParams&) = default;
};

// <workingFolder>/Config/AdditionalPara1.ini
std::filesystem::path AdditionalParamsPath(const std::filesystem::path& workingFolder);

// The configuration window's reading point: "Criterion", 0 when the file or key is missing.
int32_t ReadCriterion(const std::filesystem::path& file);

// The configuration window's writing point. False when the file cannot be written; the
// station does not act on it.
bool WriteCriterion(const std::filesystem::path& file, int32_t criterion);

// The sample organiser's reading point: every key but "Criterion", each missing one as its
// default (BasicParametersFullDirectory at most 511 bytes). When the file cannot be opened,
// prompter shows 打开文件 "PATH "失败！ (application caption, OK), params is left as it was
// and the result is false. UI thread.
bool ReadOrganiserParams(const std::filesystem::path& file, AdditionalParams& params,
                         Prompter& prompter);

// The sample organiser's writing point: BasicParametersFullDirectory (from configFilePath,
// the station's config_file_path, not from params), DeviationMethod, the four deviations and
// NumberOfSamplesListed, in that order. False when a write failed; the rest are still tried.
bool WriteOrganiserParams(const std::filesystem::path& file, const AdditionalParams& params,
                          const std::string& configFilePath);
