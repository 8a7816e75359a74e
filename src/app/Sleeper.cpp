#include "app/Sleeper.h"

#include <thread>

void RealSleeper::SleepMs(int milliseconds) {
    if (milliseconds > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

void CountingSleeper::SleepMs(int milliseconds) {
    totalMs_ += milliseconds > 0 ? milliseconds : 0;
    ++calls_;
    if (sleepForReal_ && milliseconds > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

void CountingSleeper::Reset() {
    totalMs_ = 0;
    calls_ = 0;
}
