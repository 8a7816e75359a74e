#pragma once

#include <ctime>
#include <filesystem>
#include <string>

#include "samples/SampleFiles.h"

// The name WriteSampleFile gives a sample written at time: year, month, day, hour, minute and
// second as 14 digits, then ".ini".
std::string SampleFileName(const std::tm& time);

// The longest a FreshSampleClock moves a reading on: past it the name is taken as it is.
constexpr int kMaxSampleNameSteps = 3600;

// A clock for the sample writers that never names a sample already in folder: each reading
// takes clock once and moves it on a second at a time while folder holds a file of that name,
// so a second sample within the same second gets the next free second instead of
// overwriting the first. At most kMaxSampleNameSteps seconds on. UI thread.
SampleClock FreshSampleClock(std::filesystem::path folder, SampleClock clock);
