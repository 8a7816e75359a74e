#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

// Every settle and poll sleep of the station goes through one Sleeper, so tests can run on
// virtual time and the benchmark can add up what the sequence asked for. Time-outs are not
// sleeps: they use the steady clock directly.
class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void SleepMs(int milliseconds) = 0;
};

// Sleeps for real, on the calling thread.
class RealSleeper : public Sleeper {
public:
    void SleepMs(int milliseconds) override;
};

// Adds up every sleep asked for; sleeps for real only when told to. Thread-safe.
class CountingSleeper : public Sleeper {
public:
    explicit CountingSleeper(bool sleepForReal) : sleepForReal_(sleepForReal) {}
    void SleepMs(int milliseconds) override;
    int64_t TotalMs() const { return totalMs_.load(); }
    int64_t Calls() const { return calls_.load(); }
    void Reset();

private:
    bool sleepForReal_;
    std::atomic<int64_t> totalMs_{0};
    std::atomic<int64_t> calls_{0};
};
