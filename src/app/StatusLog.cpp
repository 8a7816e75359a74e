#include "app/StatusLog.h"

#include <chrono>

#include "app/Format.h"

std::tm LocalTimeNow() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return local;
}

StatusLog::StatusLog(Clock clock) : clock_(clock ? std::move(clock) : Clock(LocalTimeNow)) {}

void StatusLog::AppendLog(std::string_view text, int withTime, int lineEnd) {
    std::string entry(text);
    if (withTime == 1) {
        const std::tm t = clock_();
        entry += " (" + Right(FormatZeroPadded(t.tm_hour, 10), 2) + ":" +
                 Right(FormatZeroPadded(t.tm_min, 10), 2) + ":" +
                 Right(FormatZeroPadded(t.tm_sec, 10), 2) + ")";
    }
    if (lineEnd == 1) {
        entry += "\r\n";
    }
    std::function<void()> listener;
    {
        std::lock_guard lock(mutex_);
        text_ += entry;
        listener = listener_;
    }
    if (listener) {
        listener();
    }
}

void StatusLog::AppendLog(const char* text, int withTime, int lineEnd) {
    AppendLog(std::string_view(text ? text : ""), withTime, lineEnd);
}

void StatusLog::Clear() {
    std::function<void()> listener;
    {
        std::lock_guard lock(mutex_);
        text_.clear();
        listener = listener_;
    }
    if (listener) {
        listener();
    }
}

std::string StatusLog::Text() const {
    std::lock_guard lock(mutex_);
    return text_;
}

void StatusLog::SetChangeListener(std::function<void()> listener) {
    std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
}
