#include "app/StatusLog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

std::tm At(int h, int m, int s) {
    std::tm t{};
    t.tm_hour = h;
    t.tm_min = m;
    t.tm_sec = s;
    return t;
}

TEST(StatusLog, LineFormat) {
    StatusLog log([] { return At(9, 5, 3); });
    log.AppendLog("calib & clear", 0, 1);
    log.AppendLog("设备未找到", 1, 1);
    log.AppendLog("配置文件错误>_<,", 0, 0);
    log.AppendLog("位置在第 7行。", 0, 1);
    log.AppendLog("no line end", 1, 0);
    EXPECT_EQ(log.Text(),
              "calib & clear\r\n"
              "设备未找到 (09:05:03)\r\n"
              "配置文件错误>_<,位置在第 7行。\r\n"
              "no line end (09:05:03)");
    log.Clear();
    EXPECT_EQ(log.Text(), "");
}

TEST(StatusLog, FlagsCountOnlyWhenOne) {
    StatusLog log([] { return At(23, 59, 59); });
    log.AppendLog("a", 2, 2);
    EXPECT_EQ(log.Text(), "a");
}

// The reader thread appends while the UI thread does; no line may be torn or lost, and the
// listener runs without the log's lock held (it may read the text itself).
TEST(StatusLog, AppendsFromTwoThreads) {
    StatusLog log;
    std::atomic<int> notified{0};
    log.SetChangeListener([&] {
        (void)log.Text();
        ++notified;
    });
    constexpr int kLines = 2000;
    auto writer = [&](const char* text) {
        for (int i = 0; i < kLines; ++i) {
            log.AppendLog(text, 0, 1);
        }
    };
    std::thread reader(writer, "reader-thread-line");
    writer("ui-thread-line");
    reader.join();
    const std::string text = log.Text();
    size_t lines = 0;
    size_t pos = 0;
    while ((pos = text.find("\r\n", pos)) != std::string::npos) {
        ++lines;
        pos += 2;
    }
    EXPECT_EQ(lines, 2u * kLines);
    EXPECT_EQ(text.find("line-line"), std::string::npos);
    EXPECT_EQ(notified.load(), 2 * kLines);
}

}  // namespace
