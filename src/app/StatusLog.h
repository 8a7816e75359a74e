#pragma once

#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

// The station's running message log: one text, lines ending in CR LF.
//
// Thread-safe: the UI thread and the link's reader thread append. The text's mutex is held
// only while the text is changed; the change listener runs after it is released and must
// not block (the window posts a refresh to its own thread), so an append from the reader
// thread never waits for the UI thread.
class StatusLog {
public:
    using Clock = std::function<std::tm()>;

    // clock gives the local time for time stamps; the default reads the system clock.
    explicit StatusLog(Clock clock = {});

    // Appends text; withTime == 1 adds " (hh:mm:ss)" in local time, lineEnd == 1 adds CR LF.
    void AppendLog(std::string_view text, int withTime, int lineEnd);
    void AppendLog(const char* text, int withTime, int lineEnd);

    void Clear();
    std::string Text() const;

    // Called after every change, on the thread that made it, without the lock held.
    void SetChangeListener(std::function<void()> listener);

private:
    Clock clock_;
    mutable std::mutex mutex_;
    std::string text_;
    std::function<void()> listener_;
};

// The current local time, for time stamps and file names.
std::tm LocalTimeNow();
