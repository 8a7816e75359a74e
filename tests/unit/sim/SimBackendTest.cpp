#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "sim/SimBackend.h"
#include "tests/unit/sim/RawReports.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Event {
    DeviceEvent event;
    std::string path;
};

// Records device events from whichever thread delivers them.
struct EventLog {
    std::mutex mutex;
    std::vector<Event> events;

    HidBackend::DeviceListener Listener() {
        return [this](DeviceEvent event, const std::string& path) {
            std::lock_guard lock(mutex);
            events.push_back({event, path});
        };
    }
    std::vector<Event> Take() {
        std::lock_guard lock(mutex);
        return std::exchange(events, {});
    }
    // Waits up to timeoutMs for count events in all.
    bool WaitFor(size_t count, int timeoutMs) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            {
                std::lock_guard lock(mutex);
                if (events.size() >= count) {
                    return true;
                }
            }
            if (Clock::now() >= deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
};

bool Write(HidHandle& handle, const SimReport& report) {
    return handle.StartWrite(report.data(), report.size()).kind != WriteStart::Kind::Failed;
}

int ReadInto(HidHandle& handle, SimReport& report, int timeoutMs) {
    return handle.Read(report.data(), report.size(), timeoutMs);
}

TEST(SimBackend, EnumeratesTheBoardAndOpensOnlyItsPath) {
    SimBackend backend;
    const auto devices = backend.Enumerate();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].vendorId, 0x03EB);
    EXPECT_EQ(devices[0].productId, 0x212C);
    EXPECT_EQ(devices[0].version, 0x1032);
    EXPECT_EQ(devices[0].interfaceNumber, 1);
    EXPECT_EQ(devices[0].path, "sim:board0");
    EXPECT_EQ(backend.Open("sim:board1"), nullptr);
    EXPECT_NE(backend.Open("sim:board0"), nullptr);
}

TEST(SimBackend, EveryOpenHandleGetsItsOwnCopy) {
    SimBackend backend;
    auto reader = backend.Open(backend.Path());
    auto writer = backend.Open(backend.Path());
    ASSERT_TRUE(reader && writer);

    const WriteStart started = writer->StartWrite(ReadReport(0, 7).data(), 64);
    EXPECT_EQ(started.kind, WriteStart::Kind::Completed);
    SimReport report{};
    for (HidHandle* handle : {reader.get(), writer.get()}) {
        ASSERT_EQ(ReadInto(*handle, report, 0), 64);
        EXPECT_EQ(report[1], 0);
        EXPECT_EQ(report[8], 52);
        EXPECT_EQ(ReadInto(*handle, report, 0), 0) << "exactly one answer";
    }

    // An answer sent before a handle opened is not delivered to it.
    ASSERT_TRUE(Write(*writer, ReadReport(0, 7)));
    auto late = backend.Open(backend.Path());
    EXPECT_EQ(ReadInto(*late, report, 0), 0);
    EXPECT_EQ(ReadInto(*reader, report, 0), 64);
}

TEST(SimBackend, QueueKeepsTheNewest64) {
    SimBackend backend;
    auto handle = backend.Open(backend.Path());
    for (int i = 0; i < 70; ++i) {
        SimReport report = SimBoard::MakeReport(SimBoard::kStatusIgnored);
        report[3] = static_cast<uint8_t>(i);
        backend.InjectInputReport(report);
    }
    SimReport report{};
    for (int i = 6; i < 70; ++i) {
        ASSERT_EQ(ReadInto(*handle, report, 0), 64);
        ASSERT_EQ(report[3], i);
    }
    EXPECT_EQ(ReadInto(*handle, report, 0), 0);
}

TEST(SimBackend, LatencyDelaysWriteAndAnswer) {
    constexpr int kLatencyUs = 20000;
    SimBackend backend;
    backend.SetLatencyUs(kLatencyUs);
    auto handle = backend.Open(backend.Path());

    const auto start = Clock::now();
    const WriteStart started = handle->StartWrite(ReadReport(0, 7).data(), 64);
    EXPECT_EQ(started.kind, WriteStart::Kind::Pending);
    EXPECT_FALSE(handle->WaitWriteDone(0));
    ASSERT_TRUE(handle->WaitWriteDone(1000));
    EXPECT_GE(Clock::now() - start, std::chrono::microseconds(kLatencyUs));

    SimReport report{};
    ASSERT_EQ(ReadInto(*handle, report, 1000), 64);
    EXPECT_GE(Clock::now() - start, std::chrono::microseconds(2 * kLatencyUs));
    EXPECT_EQ(report[8], 52);
}

TEST(SimBackend, LateAnswerHoldsBackTheNextOne) {
    SimBackend backend;
    backend.WithBoard([](SimBoard& board) { board.Faults().lateAnswers = {{1, 30000}}; });
    auto handle = backend.Open(backend.Path());
    const auto start = Clock::now();
    ASSERT_TRUE(Write(*handle, ReadReport(0, 1)));
    ASSERT_TRUE(Write(*handle, ReadReport(4, 1)));
    SimReport report{};
    EXPECT_EQ(ReadInto(*handle, report, 0), 0) << "nothing overtakes the late answer";
    ASSERT_EQ(ReadInto(*handle, report, 1000), 64);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(30));
    EXPECT_EQ(report[3], SimController::kFamilyId);
    ASSERT_EQ(ReadInto(*handle, report, 1000), 64);
    EXPECT_EQ(report[3], 32);
}

TEST(SimBackend, UnplugEndsHandlesAndPlugSwitchesOnAgain) {
    SimBackend backend;
    EventLog log;
    backend.WatchDevices(log.Listener());
    uint16_t message = 0;
    backend.WithBoard(
        [&](SimBoard& board) { message = board.Controller().FindObject(5)->address; });
    auto handle = backend.Open(backend.Path());
    ASSERT_TRUE(Write(*handle, ReadReport(message, 10)));

    backend.Unplug();
    SimReport report{};
    EXPECT_EQ(ReadInto(*handle, report, 0), -1) << "queued answers go with the board";
    const WriteStart failed = handle->StartWrite(ReadReport(0, 7).data(), 64);
    EXPECT_EQ(failed.kind, WriteStart::Kind::Failed);
    EXPECT_EQ(failed.errorCode, SimBackend::kDeviceGoneError);
    EXPECT_TRUE(handle->WaitWriteDone(0));
    EXPECT_TRUE(backend.Enumerate().empty());
    EXPECT_EQ(backend.Open(backend.Path()), nullptr);
    backend.Unplug();

    backend.Plug();
    backend.Plug();
    const auto events = log.Take();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].event, DeviceEvent::Removal);
    EXPECT_EQ(events[0].path, "sim:board0");
    EXPECT_EQ(events[1].event, DeviceEvent::Arrival);
    EXPECT_EQ(ReadInto(*handle, report, 0), -1) << "an old handle stays dead";

    auto fresh = backend.Open(backend.Path());
    ASSERT_TRUE(fresh);
    ASSERT_TRUE(Write(*fresh, ReadReport(message, 10)));
    ASSERT_EQ(ReadInto(*fresh, report, 0), 64);
    EXPECT_EQ(report[4], 0x90) << "switched on again: the power-on messages";
}

TEST(SimBackend, UnplugFaultAtAPageComesBackOnItsOwn) {
    SimBackend backend;
    EventLog log;
    backend.WatchDevices(log.Listener());
    uint16_t diagnostic = 0;
    uint16_t command = 0;
    backend.WithBoard([&](SimBoard& board) {
        board.Faults().unplugAtPage = SimFaults::UnplugAtPage{0, 20};
        diagnostic = board.Controller().FindObject(37)->address;
        command = board.Controller().FindObject(6)->address;
    });
    auto handle = backend.Open(backend.Path());
    ASSERT_TRUE(Write(*handle, WriteReport(command + 5, {0x11})));
    EXPECT_EQ(handle->StartWrite(ReadReport(diagnostic, 60).data(), 64).kind,
              WriteStart::Kind::Completed);
    SimReport report{};
    EXPECT_EQ(ReadInto(*handle, report, 0), -1) << "the read is never answered";
    ASSERT_TRUE(log.WaitFor(2, 2000));
    const auto events = log.Take();
    EXPECT_EQ(events[0].event, DeviceEvent::Removal);
    EXPECT_EQ(events[1].event, DeviceEvent::Arrival);
    EXPECT_TRUE(backend.IsPlugged());
}

TEST(SimBackend, PushedMessageReachesEveryHandle) {
    SimBackend backend;
    auto a = backend.Open(backend.Path());
    auto b = backend.Open(backend.Path());
    const uint8_t message[] = {23, 0x11, 2, 6, 0};
    backend.PushMessage(message);
    for (HidHandle* handle : {a.get(), b.get()}) {
        SimReport report{};
        ASSERT_EQ(ReadInto(*handle, report, 0), 64);
        EXPECT_EQ(report[0], 1);
        EXPECT_EQ(report[1], 0xFA);
        EXPECT_EQ(report[2], 0);
        EXPECT_EQ(report[3], 23);
        EXPECT_EQ(report[4], 0x11);
        EXPECT_EQ(report[6], 6);
    }
}

TEST(SimBackend, MalformedWritesFail) {
    SimBackend backend;
    auto handle = backend.Open(backend.Path());
    const SimReport report = ReadReport(0, 7);
    EXPECT_EQ(handle->StartWrite(report.data(), 65).errorCode, SimBackend::kInvalidReportError);
    EXPECT_EQ(handle->StartWrite(nullptr, 64).kind, WriteStart::Kind::Failed);
    uint8_t small[8];
    EXPECT_EQ(handle->Read(small, 0, 0), -1);
    EXPECT_TRUE(Write(*handle, report));
    EXPECT_EQ(handle->Read(small, sizeof small, 0), 8) << "a short buffer gets the start";
    EXPECT_EQ(small[7], 32);
}

// The link's shape: one thread reads, another writes and waits for completions, while a
// third pulls the board out. Run under ThreadSanitizer.
TEST(SimBackend, ReaderWriterAndUnplugOnThreeThreads) {
    SimBackend backend;
    backend.SetLatencyUs(50);
    EventLog log;
    backend.WatchDevices(log.Listener());
    auto reader = backend.Open(backend.Path());
    auto writer = backend.Open(backend.Path());

    std::atomic<int> answers{0};
    std::atomic<bool> readerEnded{false};
    std::thread readThread([&] {
        SimReport report{};
        for (;;) {
            const int n = ReadInto(*reader, report, 50);
            if (n < 0) {
                break;
            }
            if (n == 64 && report[1] == 0) {
                ++answers;
            }
        }
        readerEnded = true;
    });
    std::thread writeThread([&] {
        for (int i = 0; i < 200; ++i) {
            if (writer->StartWrite(ReadReport(0, 7).data(), 64).kind == WriteStart::Kind::Failed) {
                break;
            }
            writer->WaitWriteDone(100);
        }
    });
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (answers < 20 && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    backend.Unplug();
    writeThread.join();
    readThread.join();
    EXPECT_TRUE(readerEnded);
    EXPECT_GE(answers.load(), 20);
    EXPECT_TRUE(log.WaitFor(1, 0));
}

}  // namespace
