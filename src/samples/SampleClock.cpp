#include "samples/SampleClock.h"

#include <system_error>
#include <utility>

#include "app/Format.h"

namespace {

std::string Digits(int value, size_t count) {
    return Right(FormatZeroPadded(value, 10), count);
}

// The same time one second later, carried through minutes, days and months.
bool StepOneSecond(std::tm& time) {
    std::tm next = time;
    next.tm_sec += 1;
    next.tm_isdst = -1;
    if (std::mktime(&next) == static_cast<std::time_t>(-1)) {
        return false;
    }
    time = next;
    return true;
}

}  // namespace

std::string SampleFileName(const std::tm& time) {
    return Digits(time.tm_year + 1900, 4) + Digits(time.tm_mon + 1, 2) + Digits(time.tm_mday, 2) +
           Digits(time.tm_hour, 2) + Digits(time.tm_min, 2) + Digits(time.tm_sec, 2) + ".ini";
}

SampleClock FreshSampleClock(std::filesystem::path folder, SampleClock clock) {
    return [folder = std::move(folder), clock = std::move(clock)] {
        std::tm time = clock();
        for (int step = 0; step < kMaxSampleNameSteps; ++step) {
            std::error_code unknown;
            if (!std::filesystem::exists(folder / SampleFileName(time), unknown) ||
                !StepOneSecond(time)) {
                break;
            }
        }
        return time;
    };
}
