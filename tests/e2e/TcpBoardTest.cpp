// The board over a local TCP connection: the backend's framing and presence against a raw
// peer, and the whole station against panelix-sim's server in this process. Every socket is
// on 127.0.0.1 with a port the system picks; every wait is bounded.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/Sleeper.h"
#include "app/Station.h"
#include "link/BoardSource.h"
#include "link/TcpBackend.h"
#include "sim/SimOptions.h"
#include "sim/SimServer.h"
#include "support/FakeStationView.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

const std::string kConfigPath = PANELIX_TEST_DATA_DIR "/../../examples/panel-32x52.txt";
const std::string kFailureLine = "测试失败，原因：USB连接异常或驱动通道严重短路";

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

long CountEntries(const char* folder) {
    return std::distance(std::filesystem::directory_iterator(folder),
                         std::filesystem::directory_iterator());
}

// Every test must leave no socket, pipe or thread behind.
class TcpTest : public ::testing::Test {
protected:
    // A sanitizer's runtime may start a thread of its own with the first thread of the
    // process; it must not count as one left behind.
    static void SetUpTestSuite() {
        std::thread([] {}).join();
    }

    void SetUp() override {
        fds_ = CountEntries("/proc/self/fd");
        threads_ = CountEntries("/proc/self/task");
    }
    void TearDown() override {
        EXPECT_TRUE(WaitFor([&] { return CountEntries("/proc/self/task") == threads_; }, 1s))
            << "threads left running";
        EXPECT_EQ(CountEntries("/proc/self/fd"), fds_) << "descriptors left open";
    }

private:
    long fds_ = 0;
    long threads_ = 0;
};

// A peer listening on 127.0.0.1 that answers each whole frame it receives with what answer
// returns, and takes a new connection once the last one closed. The test thread may send
// to the connected station or drop it.
class RawPeer {
public:
    struct Reply {
        Bytes bytes;
        bool close = false;
    };
    // index: the frame's number on this connection, from 0.
    using Answer = std::function<Reply(const Bytes& frame, int index)>;

    explicit RawPeer(Answer answer = {}, int backlog = 4) : answer_(std::move(answer)) {
        listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        EXPECT_EQ(::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), length), 0);
        EXPECT_EQ(::listen(listenFd_, backlog), 0);
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        if (answer_) {
            thread_ = std::thread([this] { Serve(); });
        }
    }

    ~RawPeer() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
        if (fd_ >= 0) {
            ::close(fd_);
        }
        ::close(listenFd_);
    }

    uint16_t Port() const { return port_; }
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
    int ListenFd() const { return listenFd_; }

    void Send(const Bytes& bytes) {
        std::lock_guard lock(mutex_);
        ASSERT_GE(fd_, 0);
        ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }

    // Only shut down here: the serving thread closes the descriptor, so it never reads one
    // that was closed and handed to another socket meanwhile.
    void Drop() {
        std::lock_guard lock(mutex_);
        if (fd_ >= 0) {
            ::shutdown(fd_, SHUT_RDWR);
        }
    }

    bool WaitConnected(std::chrono::milliseconds timeout) {
        return WaitFor(
            [&] {
                std::lock_guard lock(mutex_);
                return fd_ >= 0;
            },
            timeout);
    }

    int Accepted() const { return accepted_; }
    Bytes Received() {
        std::lock_guard lock(mutex_);
        return received_;
    }

private:
    void Serve() {
        Bytes partial;
        int index = 0;
        while (!stop_) {
            int fd = -1;
            {
                std::lock_guard lock(mutex_);
                fd = fd_;
            }
            pollfd poll{fd >= 0 ? fd : listenFd_, POLLIN, 0};
            if (::poll(&poll, 1, 10) <= 0) {
                continue;
            }
            if (fd < 0) {
                const int accepted = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
                if (accepted < 0) {
                    continue;
                }
                const int on = 1;
                ::setsockopt(accepted, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
                std::lock_guard lock(mutex_);
                fd_ = accepted;
                ++accepted_;
                partial.clear();
                index = 0;
                continue;
            }
            uint8_t buffer[256];
            const ssize_t length = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (length <= 0) {
                std::lock_guard lock(mutex_);
                ::close(fd_);
                fd_ = -1;
                continue;
            }
            std::lock_guard lock(mutex_);
            received_.insert(received_.end(), buffer, buffer + length);
            partial.insert(partial.end(), buffer, buffer + length);
            while (partial.size() >= 64 && fd_ >= 0) {
                const Bytes frame(partial.begin(), partial.begin() + 64);
                partial.erase(partial.begin(), partial.begin() + 64);
                const Reply reply = answer_(frame, index++);
                ::send(fd_, reply.bytes.data(), reply.bytes.size(), MSG_NOSIGNAL);
                if (reply.close) {
                    ::shutdown(fd_, SHUT_RDWR);
                }
            }
        }
    }

    Answer answer_;
    int listenFd_ = -1;
    uint16_t port_ = 0;
    std::mutex mutex_;
    int fd_ = -1;
    Bytes received_;
    std::atomic<int> accepted_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The backend's device events, as a test sees them.
class EventLog {
public:
    void Watch(HidBackend& backend) {
        backend.WatchDevices([this](DeviceEvent event, const std::string& path) {
            std::lock_guard lock(mutex_);
            events_.emplace_back(event, path);
            changed_.notify_all();
        });
    }
    bool WaitCount(size_t count, std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return events_.size() >= count; });
    }
    std::vector<std::pair<DeviceEvent, std::string>> Events() {
        std::lock_guard lock(mutex_);
        return events_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::pair<DeviceEvent, std::string>> events_;
};

std::unique_ptr<TcpBackend> Connect(const std::string& address) {
    std::string error;
    auto backend = TcpBackend::Create(address, error);
    EXPECT_TRUE(backend) << error;
    return backend;
}

Bytes Pattern(size_t length, uint8_t first = 0) {
    Bytes bytes(length);
    for (size_t i = 0; i < length; ++i) {
        bytes[i] = static_cast<uint8_t>(first + i * 7);
    }
    return bytes;
}

// Pseudo-random bytes, the same for a seed.
Bytes Junk(size_t length, uint32_t seed) {
    Bytes bytes(length);
    for (auto& byte : bytes) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<uint8_t>(seed >> 16);
    }
    return bytes;
}

TEST(TcpAddress, HostAndPortOrRefused) {
    const struct {
        const char* address;
        bool accepted;
        const char* host;
        uint16_t port;
    } cases[] = {
        {"127.0.0.1:7000", true, "127.0.0.1", 7000},
        {"localhost:1", true, "localhost", 1},
        {"[::1]:65535", true, "::1", 65535},
        {"host:0", false, "", 0},
        {"host:65536", false, "", 0},
        {"host:", false, "", 0},
        {"host", false, "", 0},
        {":7000", false, "", 0},
        {"host:70x", false, "", 0},
        {"host:+70", false, "", 0},
        {"::1:7000", false, "", 0},
        {"[::1]7000", false, "", 0},
        {"[::1:7000", false, "", 0},
    };
    for (const auto& c : cases) {
        std::string host;
        uint16_t port = 0;
        EXPECT_EQ(ParseTcpAddress(c.address, host, port), c.accepted) << c.address;
        if (c.accepted) {
            EXPECT_EQ(host, c.host) << c.address;
            EXPECT_EQ(port, c.port) << c.address;
        }
    }
    std::string host;
    uint16_t port = 1;
    EXPECT_TRUE(ParseTcpAddress("127.0.0.1:0", host, port, true));
    EXPECT_EQ(port, 0);
}

TEST(TcpAddress, BoardByNameRefusesAMalformedAddress) {
    std::vector<std::string> words;
    std::string error;
    EXPECT_EQ(MakeBoardBackend("tcp:127.0.0.1", words, error), nullptr);
    EXPECT_NE(error.find("tcp:HOST:PORT"), std::string::npos) << error;
}

TEST_F(TcpTest, InputFramesArePutTogetherFromAnyPieces) {
    const struct {
        const char* name;
        std::vector<size_t> pieces;
        size_t frames;  // whole frames among the bytes; the rest must not show
    } cases[] = {
        {"wholeFrame", {64}, 1},
        {"threePieces", {1, 10, 53}, 1},
        {"byteByByte", std::vector<size_t>(64, 1), 1},
        {"twoFramesAtOnce", {128}, 2},
        {"frameAndAHalf", {96}, 1},
        {"halfThenOneAndAHalf", {32, 96}, 2},
    };
    for (const auto& c : cases) {
        RawPeer peer;
        auto backend = Connect(peer.Address());
        ASSERT_EQ(backend->Enumerate().size(), 1u) << c.name;
        auto handle = backend->Open(backend->Path());
        ASSERT_TRUE(handle) << c.name;
        const int acceptedFd = ::accept4(peer.ListenFd(), nullptr, nullptr, SOCK_CLOEXEC);
        ASSERT_GE(acceptedFd, 0);
        size_t total = 0;
        for (const size_t piece : c.pieces) {
            total += piece;
        }
        const Bytes sent = Pattern(total, 3);
        size_t at = 0;
        for (const size_t piece : c.pieces) {
            ASSERT_EQ(::send(acceptedFd, sent.data() + at, piece, MSG_NOSIGNAL),
                      static_cast<ssize_t>(piece));
            at += piece;
            std::this_thread::sleep_for(1ms);
        }
        for (size_t frame = 0; frame < c.frames; ++frame) {
            // One byte more than a frame, as the link's reader asks.
            uint8_t buffer[65] = {};
            ASSERT_EQ(handle->Read(buffer, sizeof buffer, 1000), 64) << c.name << " " << frame;
            EXPECT_TRUE(std::equal(buffer, buffer + 64, sent.begin() + frame * 64))
                << c.name << " " << frame;
        }
        uint8_t buffer[65] = {};
        EXPECT_EQ(handle->Read(buffer, sizeof buffer, 30), 0) << c.name;
        ::close(acceptedFd);
    }
}

TEST_F(TcpTest, OnlyWholeOutputFramesGoOnTheWire) {
    RawPeer peer([](const Bytes&, int) { return RawPeer::Reply{}; });
    auto backend = Connect(peer.Address());
    ASSERT_EQ(backend->Enumerate().size(), 1u);
    auto handle = backend->Open(backend->Path());
    ASSERT_TRUE(handle);
    const Bytes report = Pattern(65, 1);
    const struct {
        size_t length;
        WriteStart::Kind kind;
        int errorCode;
    } cases[] = {
        {63, WriteStart::Kind::Failed, TcpBackend::kInvalidReportError},
        {65, WriteStart::Kind::Failed, TcpBackend::kInvalidReportError},
        {64, WriteStart::Kind::Completed, 0},
        {0, WriteStart::Kind::Failed, TcpBackend::kInvalidReportError},
        {64, WriteStart::Kind::Completed, 0},
    };
    for (const auto& c : cases) {
        const WriteStart start = handle->StartWrite(report.data(), c.length);
        EXPECT_EQ(start.kind, c.kind) << c.length;
        EXPECT_EQ(start.errorCode, c.errorCode) << c.length;
    }
    EXPECT_TRUE(handle->WaitWriteDone(100));
    ASSERT_TRUE(WaitFor([&] { return peer.Received().size() >= 128; }, 2s));
    std::this_thread::sleep_for(20ms);
    const Bytes frame(report.begin(), report.begin() + 64);
    Bytes twice = frame;
    twice.insert(twice.end(), frame.begin(), frame.end());
    EXPECT_EQ(peer.Received(), twice);
}

// A closed connection is the board's removal; the backend connects again on its own, and
// that connect is the arrival.
TEST_F(TcpTest, RemovalAndArrivalFollowTheConnection) {
    RawPeer peer([](const Bytes& frame, int) { return RawPeer::Reply{frame}; });
    auto backend = Connect(peer.Address());
    EventLog events;
    events.Watch(*backend);
    const auto devices = backend->Enumerate();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].vendorId, 0x03EB);
    EXPECT_EQ(devices[0].productId, 0x212C);
    EXPECT_EQ(devices[0].version, 0x1032);
    EXPECT_EQ(devices[0].interfaceNumber, 1);
    EXPECT_EQ(devices[0].path, "tcp:" + peer.Address());
    EXPECT_EQ(backend->Open("tcp:127.0.0.1:1"), nullptr);
    auto handle = backend->Open(devices[0].path);
    ASSERT_TRUE(handle);
    ASSERT_TRUE(peer.WaitConnected(2s));

    const Bytes report = Pattern(64, 9);
    ASSERT_EQ(handle->StartWrite(report.data(), report.size()).kind, WriteStart::Kind::Completed);
    uint8_t echo[65] = {};
    ASSERT_EQ(handle->Read(echo, sizeof echo, 1000), 64);
    EXPECT_TRUE(std::equal(echo, echo + 64, report.begin()));

    peer.Drop();
    ASSERT_TRUE(events.WaitCount(1, 2s));
    EXPECT_EQ(handle->Read(echo, sizeof echo, 100), -1);
    const WriteStart afterLoss = handle->StartWrite(report.data(), report.size());
    EXPECT_EQ(afterLoss.kind, WriteStart::Kind::Failed);
    EXPECT_EQ(afterLoss.errorCode, TcpBackend::kDeviceGoneError);
    EXPECT_TRUE(handle->WaitWriteDone(0));

    ASSERT_TRUE(events.WaitCount(2, 3s));
    EXPECT_EQ(events.Events(), (std::vector<std::pair<DeviceEvent, std::string>>{
                                   {DeviceEvent::Removal, devices[0].path},
                                   {DeviceEvent::Arrival, devices[0].path}}));
    EXPECT_TRUE(WaitFor([&] { return peer.Accepted() == 2; }, 2s));
    ASSERT_EQ(backend->Enumerate().size(), 1u);
    auto again = backend->Open(devices[0].path);
    ASSERT_TRUE(again);
    ASSERT_EQ(again->StartWrite(report.data(), report.size()).kind, WriteStart::Kind::Completed);
    ASSERT_EQ(again->Read(echo, sizeof echo, 1000), 64);
    // The old handle stays dead on the new connection.
    EXPECT_EQ(handle->Read(echo, sizeof echo, 0), -1);
    handle.reset();
    again.reset();
    backend.reset();
    EXPECT_EQ(events.Events().size(), 2u);
}

TEST_F(TcpTest, EnumerateHoldsTheCallerBriefly) {
    // Nothing listens: the connect is refused.
    uint16_t freePort = 0;
    {
        RawPeer gone;
        freePort = gone.Port();
    }
    // A listener whose queue is full: the connect hangs.
    RawPeer full({}, 0);
    const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(full.Port());
    ASSERT_EQ(::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    for (const std::string& target : {"127.0.0.1:" + std::to_string(freePort), full.Address()}) {
        auto backend = Connect(target);
        for (int pass = 0; pass < 4; ++pass) {
            const auto start = Clock::now();
            EXPECT_TRUE(backend->Enumerate().empty()) << target;
            EXPECT_LT(Clock::now() - start, 150ms) << target << " pass " << pass;
            EXPECT_EQ(backend->Open(backend->Path()), nullptr) << target;
        }
    }
    ::close(filler);
}

// The status log without time stamps.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        std::string line = text.substr(start, end - start);
        const size_t n = line.size();
        if (n >= 11 && line[n - 11] == ' ' && line[n - 10] == '(' && line[n - 1] == ')') {
            line.resize(n - 11);
        }
        lines.push_back(line);
    }
    return lines;
}

// The station on a backend, with the window's event loop run by hand.
class StationRig {
public:
    explicit StationRig(HidBackend& backend) : station(view, backend, sleeper, ".") {
        // Every test takes 1.5 s on the station's counter.
        station.counterFrequency = 1000.0;
        station.readCounter = [this] {
            const int64_t now = ticks_;
            ticks_ += 1500;
            return now;
        };
        uint8_t errorLine = 0;
        EXPECT_TRUE(LoadTestConfig(kConfigPath, station.testConfig, errorLine, view));
        station.configState.configValid = true;
        station.OnShowWindow();
    }

    // Posted device events and the ticks of timers 2 and 1, as the window would run them,
    // until done or timeout.
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
        return WaitFor(
            [&] {
                view.RunPosted();
                if (view.TimerArmed(timers::kOpenBoard)) {
                    station.OnTimer(timers::kOpenBoard);
                }
                if (!done() && view.TimerArmed(timers::kBringUp)) {
                    station.OnTimer(timers::kBringUp);
                }
                return done();
            },
            timeout);
    }

    bool BringUp() {
        return RunUntil([&] { return station.controllerReady; }, 10s);
    }

    std::vector<std::string> Log() const { return Lines(station.log.Text()); }

    FakeStationView view;
    CountingSleeper sleeper{false};
    Station station;

private:
    int64_t ticks_ = 0;
};

// A simulated board served on an ephemeral port, and a tcp backend to it.
struct ServedBoard {
    explicit ServedBoard(const SimOptions& options) : server(options, out) {
        std::string error;
        EXPECT_TRUE(server.Start("127.0.0.1:0", error)) << error;
        backend = Connect(server.ListeningAddress());
    }
    std::vector<std::string> ServerLines() {
        server.Stop();
        std::vector<std::string> lines;
        std::istringstream text(out.str());
        for (std::string line; std::getline(text, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    std::ostringstream out;
    SimServer server;
    std::unique_ptr<TcpBackend> backend;
};

bool AnyStatus(const FakeStationView& view, const std::string& text) {
    return std::any_of(view.statusCalls.begin(), view.statusCalls.end(),
                       [&](const auto& call) { return call.first == text; });
}

TEST_F(TcpTest, TestTraceEqualsTheInProcessBoard) {
    const auto pinFault = [] {
        SimOptions options;
        options.selfTest = SelfTestResult{0x11, 2, 6, 0};
        return options;
    };
    const auto pushedFault = [] {
        SimOptions options;
        options.pushSelfTest = SelfTestResult{0x12, 4, 1, 52};
        return options;
    };
    const auto outOfStep = [] {
        SimOptions options;
        options.pageOffset = 2;
        return options;
    };
    const auto ngNode = [] {
        SimOptions options;
        options.nodes.push_back({3, 3, 100});
        return options;
    };
    const struct {
        const char* name;
        SimOptions options;
        TestOutcome outcome;
        // A pushed message is logged by the reader thread, so its place among the page lines
        // is not fixed.
        bool ordered;
    } cases[] = {
        {"goodPanel", {}, TestOutcome::Pass, true},
        {"pinFault", pinFault(), TestOutcome::Ng, true},
        {"pushedPinFault", pushedFault(), TestOutcome::Ng, false},
        {"pageOutOfStep", outOfStep(), TestOutcome::Pass, true},
        {"nodeOutOfLimits", ngNode(), TestOutcome::Ng, true},
    };
    for (const auto& c : cases) {
        auto local = MakeSimBackend(c.options);
        StationRig inProcess(*local);
        ServedBoard served(c.options);
        StationRig overTcp(*served.backend);
        ASSERT_TRUE(inProcess.BringUp()) << c.name;
        ASSERT_TRUE(overTcp.BringUp()) << c.name;
        EXPECT_EQ(overTcp.Log(), inProcess.Log()) << c.name << " bring-up";

        EXPECT_EQ(inProcess.station.RunTest(), c.outcome) << c.name;
        EXPECT_EQ(overTcp.station.RunTest(), c.outcome) << c.name;
        auto expected = inProcess.Log();
        auto actual = overTcp.Log();
        ASSERT_GT(expected.size(), 30u) << c.name;
        if (!c.ordered) {
            std::sort(expected.begin(), expected.end());
            std::sort(actual.begin(), actual.end());
        }
        EXPECT_EQ(actual, expected) << c.name;
        EXPECT_EQ(overTcp.view.statusCalls, inProcess.view.statusCalls) << c.name;
        EXPECT_EQ(overTcp.station.NodeMatrix, inProcess.station.NodeMatrix) << c.name;
    }
}

TEST_F(TcpTest, DroppedConnectionFailsTheTestAndReconnectingPassesTheNext) {
    SimOptions options;
    options.unplugAtPage = 5;
    ServedBoard served(options);
    {
        StationRig rig(*served.backend);
        ASSERT_TRUE(rig.BringUp());
        EXPECT_EQ(rig.station.RunTest(), TestOutcome::Unmeasured);
        const auto log = rig.Log();
        EXPECT_EQ(log[8], "P 4backup");
        EXPECT_EQ(log[9], "第 2次重新获取>>>>>>>>>");
        EXPECT_EQ(std::count_if(log.begin(), log.end(),
                                [](const std::string& line) { return line.starts_with("第"); }),
                  14);
        EXPECT_EQ(log.back(), kFailureLine);
        EXPECT_EQ(std::count(log.begin(), log.end(), "测试完成"), 0);
        EXPECT_FALSE(AnyStatus(rig.view, "PASS"));
        EXPECT_EQ(rig.station.counters.okCount + rig.station.counters.ngCount, 0);

        // The removal (its event may come a little after the handles failed), the backend's
        // reconnect (a re-plug at the server) and the bring-up.
        ASSERT_TRUE(rig.RunUntil([&] { return !rig.station.controllerReady; }, 2s));
        ASSERT_TRUE(rig.BringUp());
        const auto between = rig.Log();
        const auto removed = std::find(between.begin(), between.end(), "测试板已断开");
        ASSERT_NE(removed, between.end());
        EXPECT_NE(std::find(removed, between.end(), "测试板已连接"), between.end());
        EXPECT_EQ(rig.station.RunTest(), TestOutcome::Pass);
        EXPECT_EQ(rig.station.counters.okCount, 1);
    }
    const auto lines = served.ServerLines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_TRUE(lines[0].starts_with("listening on 127.0.0.1:")) << lines[0];
    EXPECT_TRUE(lines[1].ends_with(" connected")) << lines[1];
    EXPECT_TRUE(lines[2].ends_with(" dropped: the board was unplugged")) << lines[2];
    EXPECT_TRUE(lines[3].ends_with(" connected")) << lines[3];
}

TEST_F(TcpTest, SecondStationIsTurnedAwayWhileOneIsServed) {
    ServedBoard served({});
    StationRig first(*served.backend);
    ASSERT_TRUE(first.BringUp());

    auto second = Connect(served.server.ListeningAddress());
    EventLog events;
    events.Watch(*second);
    // The connect succeeds; whether this Enumerate still sees it depends on how soon the
    // server closes it, but the removal always follows.
    second->Enumerate();
    ASSERT_TRUE(WaitFor(
        [&] {
            const auto seen = events.Events();
            return std::any_of(seen.begin(), seen.end(),
                               [](const auto& e) { return e.first == DeviceEvent::Removal; });
        },
        2s));
    second.reset();

    EXPECT_EQ(first.station.RunTest(), TestOutcome::Pass);
}

// A peer that answers as the simulated board does, then from some frame on with a short
// frame, junk or a close mid-frame: during the bring-up, or during the page reads of a test.
// Nothing crashes, every wait ends within its bounds, and no panel passes.
TEST_F(TcpTest, BadPeerNeitherCrashesNorHangsTheStation) {
    using Fault = std::function<RawPeer::Reply(const Bytes& frame, int index)>;
    const struct {
        const char* name;
        Fault fault;
    } faults[] = {
        {"shortAnswerThenSilence",
         [](const Bytes&, int bad) { return RawPeer::Reply{bad == 0 ? Junk(10, 1) : Bytes{}}; }},
        {"junkAnswers",
         [](const Bytes&, int bad) {
             Bytes frame = Junk(64, static_cast<uint32_t>(bad) + 7);
             frame[0] = 1;
             frame[1] = bad % 3 == 0 ? 0x00 : bad % 3 == 1 ? 0x04 : 0xFA;
             frame[2] = 0;
             return RawPeer::Reply{frame};
         }},
        {"answersOutOfStep",
         [](const Bytes& frame, int) {
             Bytes answer = Junk(37, frame[4]);
             answer.insert(answer.end(), frame.begin(), frame.end());
             return RawPeer::Reply{answer};
         }},
        {"closesMidFrame",
         [](const Bytes&, int bad) {
             return RawPeer::Reply{Junk(30, 5), bad == 2};
         }},
    };
    for (const auto& f : faults) {
        for (const bool duringTest : {false, true}) {
            const std::string name = std::string(f.name) + (duringTest ? " test" : " bring-up");
            SimBoard board;
            board.PowerOn();
            std::atomic<int> badFrom{duringTest ? INT_MAX : 0};
            RawPeer peer([&](const Bytes& frame, int index) {
                if (index >= badFrom) {
                    return f.fault(frame, index - badFrom);
                }
                RawPeer::Reply reply;
                for (const auto& answer : board.HandleOutputReport(frame).reports) {
                    reply.bytes.insert(reply.bytes.end(), answer.report.begin(),
                                       answer.report.end());
                }
                return reply;
            });
            auto backend = Connect(peer.Address());
            StationRig rig(*backend);
            const auto start = Clock::now();
            if (duringTest) {
                ASSERT_TRUE(rig.BringUp()) << name;
                // Well into the page reads.
                badFrom = static_cast<int>(peer.Received().size() / 64) + 20;
            } else {
                ASSERT_TRUE(rig.RunUntil([&] { return rig.station.link.connected.load(); }, 2s))
                    << name;
                rig.station.OnTimer(timers::kOpenBoard);
                rig.station.OnTimer(timers::kBringUp);
                EXPECT_FALSE(rig.station.controllerReady) << name;
            }
            EXPECT_NE(rig.station.RunTest(), TestOutcome::Pass) << name;
            EXPECT_LT(Clock::now() - start, 30s) << name;
            EXPECT_FALSE(AnyStatus(rig.view, "PASS")) << name;
        }
    }
}

}  // namespace
