#include "link/TcpBackend.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>

namespace {

using Clock = std::chrono::steady_clock;
using Frame = std::array<uint8_t, TcpBackend::kFrameSize>;

// The I/O thread looks at the state at least this often, whatever poll says.
constexpr int kIdlePollMs = 100;
// A peer that vanishes without closing (its cable pulled) shows as a removal after about
// idle + interval * count seconds instead of never.
constexpr int kKeepAliveIdleS = 2;
constexpr int kKeepAliveIntervalS = 1;
constexpr int kKeepAliveCount = 3;
constexpr size_t kReceiveChunk = 4096;

struct HandleQueue {
    std::deque<Frame> frames;
};

struct Connection {
    explicit Connection(int fd) : fd(fd) {}
    // Closed only by the I/O thread, so its own recv never meets a closed descriptor.
    int fd;
    bool gone = false;
    // The start of a frame still arriving; the I/O thread's.
    std::vector<uint8_t> partial;
    // Bytes of written frames the socket has not taken yet.
    std::vector<uint8_t> outgoing;
    std::vector<std::shared_ptr<HandleQueue>> handles;
};

void CloseFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

void ConfigureSocket(int fd) {
    const int on = 1;
    // A transaction is one small frame each way; Nagle's delay would add up to 40 ms to it.
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &kKeepAliveIdleS, sizeof kKeepAliveIdleS);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &kKeepAliveIntervalS, sizeof kKeepAliveIntervalS);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &kKeepAliveCount, sizeof kKeepAliveCount);
}

// Milliseconds until due, rounded up so that a wake-up never comes just before it.
int MsUntil(Clock::time_point due, Clock::time_point now) {
    if (due <= now) {
        return 0;
    }
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(due - now).count());
}

}  // namespace

struct TcpBackendState {
    enum class Link { Idle, Connecting, Connected };

    ~TcpBackendState() {
        CloseFd(wakeRead);
        CloseFd(wakeWrite);
    }

    std::mutex mutex;
    // Woken on every change a caller may wait for: frames, written bytes, connects, losses.
    std::condition_variable changed;

    std::string path;
    sockaddr_storage address{};
    socklen_t addressLength = 0;
    // Wakes the I/O thread out of poll.
    int wakeRead = -1;
    int wakeWrite = -1;
    bool stopping = false;

    Link link = Link::Idle;
    int connectingFd = -1;
    Clock::time_point connectDeadline{};
    std::shared_ptr<Connection> connection;  // while Connected
    // An Enumerate waits for the connect under way and reports it itself.
    bool enumerateWaiting = false;
    // The connection was lost: the I/O thread connects again on its own.
    bool retrying = false;
    Clock::time_point nextRetry{};
    HidBackend::DeviceListener listener;
    // Told to the listener by the I/O thread, in order, without the lock.
    std::vector<DeviceEvent> pendingEvents;

    void WakeLocked() const {
        if (wakeWrite >= 0) {
            const uint8_t byte = 0;
            // A full pipe already holds a wake-up.
            [[maybe_unused]] const ssize_t written = ::write(wakeWrite, &byte, 1);
        }
    }

    void StartConnectLocked(bool byEnumerate) {
        int fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return;
        }
        ConfigureSocket(fd);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), addressLength) == 0) {
            ConnectedLocked(fd, byEnumerate);
            return;
        }
        // Interrupted, a non-blocking connect goes on in the background like one in progress.
        if (errno == EINPROGRESS || errno == EINTR) {
            link = Link::Connecting;
            connectingFd = fd;
            connectDeadline =
                Clock::now() + std::chrono::milliseconds(TcpBackend::kConnectTimeoutMs);
            WakeLocked();
            return;
        }
        CloseFd(fd);
    }

    void FinishConnectLocked() {
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(connectingFd, SOL_SOCKET, SO_ERROR, &error, &length) < 0) {
            error = errno;
        }
        if (error == EINPROGRESS || error == EALREADY) {
            return;
        }
        if (error == 0) {
            const int fd = connectingFd;
            connectingFd = -1;
            ConnectedLocked(fd, false);
            return;
        }
        AbandonConnectLocked();
    }

    void AbandonConnectLocked() {
        CloseFd(connectingFd);
        link = Link::Idle;
        changed.notify_all();
    }

    void ConnectedLocked(int fd, bool byEnumerate) {
        link = Link::Connected;
        connection = std::make_shared<Connection>(fd);
        retrying = false;
        if (!byEnumerate && !enumerateWaiting && listener) {
            pendingEvents.push_back(DeviceEvent::Arrival);
        }
        changed.notify_all();
        WakeLocked();
    }

    // I/O thread only: it alone closes a connection's descriptor.
    void LoseLocked() {
        if (!connection) {
            return;
        }
        MarkGoneLocked(*connection);
        CloseFd(connection->fd);
        connection.reset();
        link = Link::Idle;
        retrying = true;
        nextRetry = Clock::now() + std::chrono::milliseconds(TcpBackend::kRetryPeriodMs);
        if (listener && !stopping) {
            pendingEvents.push_back(DeviceEvent::Removal);
        }
    }

    void MarkGoneLocked(Connection& gone) {
        gone.gone = true;
        for (const auto& handle : gone.handles) {
            handle->frames.clear();
        }
        gone.outgoing.clear();
        changed.notify_all();
        WakeLocked();
    }

    void DeliverLocked(Connection& from, const uint8_t* data, size_t length) {
        from.partial.insert(from.partial.end(), data, data + length);
        size_t used = 0;
        for (; from.partial.size() - used >= TcpBackend::kFrameSize;
             used += TcpBackend::kFrameSize) {
            Frame frame;
            std::copy_n(from.partial.begin() + static_cast<std::ptrdiff_t>(used), frame.size(),
                        frame.begin());
            for (const auto& handle : from.handles) {
                handle->frames.push_back(frame);
                if (handle->frames.size() > TcpBackend::kQueueLimit) {
                    handle->frames.pop_front();
                }
            }
        }
        if (used > 0) {
            from.partial.erase(from.partial.begin(),
                               from.partial.begin() + static_cast<std::ptrdiff_t>(used));
            changed.notify_all();
        }
    }

    void FlushLocked(Connection& to) {
        while (!to.outgoing.empty()) {
            const ssize_t sent =
                ::send(to.fd, to.outgoing.data(), to.outgoing.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent > 0) {
                to.outgoing.erase(to.outgoing.begin(), to.outgoing.begin() + sent);
                continue;
            }
            if (sent < 0 && errno == EINTR) {
                continue;
            }
            if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                return;
            }
            MarkGoneLocked(to);
            return;
        }
        changed.notify_all();
    }

    HidDeviceInfo Device() const {
        return {TcpBackend::kVendorId, TcpBackend::kProductId, TcpBackend::kVersion,
                TcpBackend::kInterfaceNumber, path};
    }

    bool ConnectedNowLocked() const { return link == Link::Connected && !connection->gone; }
};

namespace {

class TcpHandle : public HidHandle {
public:
    TcpHandle(std::shared_ptr<TcpBackendState> state, std::shared_ptr<Connection> connection,
              std::shared_ptr<HandleQueue> queue)
        : state_(std::move(state)), connection_(std::move(connection)), queue_(std::move(queue)) {}

    ~TcpHandle() override {
        std::lock_guard lock(state_->mutex);
        std::erase(connection_->handles, queue_);
    }

    TcpHandle(const TcpHandle&) = delete;
    TcpHandle& operator=(const TcpHandle&) = delete;

    WriteStart StartWrite(const uint8_t* report, size_t length) override {
        TcpBackendState& s = *state_;
        std::lock_guard lock(s.mutex);
        if (s.stopping || connection_->gone) {
            return {WriteStart::Kind::Failed, TcpBackend::kDeviceGoneError};
        }
        // Anything but one whole frame would put the peer out of step for good.
        if (report == nullptr || length != TcpBackend::kFrameSize) {
            return {WriteStart::Kind::Failed, TcpBackend::kInvalidReportError};
        }
        if (connection_->outgoing.size() >=
            TcpBackend::kMaxPendingFrames * TcpBackend::kFrameSize) {
            return {WriteStart::Kind::Failed, TcpBackend::kBusyError};
        }
        connection_->outgoing.insert(connection_->outgoing.end(), report, report + length);
        s.FlushLocked(*connection_);
        if (connection_->gone) {
            return {WriteStart::Kind::Failed, TcpBackend::kDeviceGoneError};
        }
        if (connection_->outgoing.empty()) {
            return {WriteStart::Kind::Completed, 0};
        }
        s.WakeLocked();
        return {WriteStart::Kind::Pending, 0};
    }

    bool WaitWriteDone(int timeoutMs) override {
        TcpBackendState& s = *state_;
        std::unique_lock lock(s.mutex);
        return s.changed.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)), [&] {
            return s.stopping || connection_->gone || connection_->outgoing.empty();
        });
    }

    int Read(uint8_t* buffer, size_t capacity, int timeoutMs) override {
        if (buffer == nullptr || capacity == 0) {
            return -1;
        }
        TcpBackendState& s = *state_;
        std::unique_lock lock(s.mutex);
        s.changed.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)), [&] {
            return s.stopping || connection_->gone || !queue_->frames.empty();
        });
        if (s.stopping || connection_->gone) {
            return -1;
        }
        if (queue_->frames.empty()) {
            return 0;
        }
        const Frame& frame = queue_->frames.front();
        const size_t length = std::min(capacity, frame.size());
        std::copy_n(frame.begin(), length, buffer);
        queue_->frames.pop_front();
        return static_cast<int>(length);
    }

private:
    std::shared_ptr<TcpBackendState> state_;
    std::shared_ptr<Connection> connection_;
    std::shared_ptr<HandleQueue> queue_;
};

void DrainWakePipe(int fd) {
    std::array<uint8_t, 64> bytes{};
    while (::read(fd, bytes.data(), bytes.size()) > 0) {
    }
}

}  // namespace

bool ParseTcpAddress(std::string_view address, std::string& host, uint16_t& port,
                     bool allowPortZero) {
    std::string_view rest;
    if (address.starts_with('[')) {
        const size_t close = address.find(']');
        if (close == std::string_view::npos) {
            return false;
        }
        host = std::string(address.substr(1, close - 1));
        rest = address.substr(close + 1);
    } else {
        const size_t colon = address.rfind(':');
        if (colon == std::string_view::npos) {
            return false;
        }
        host = std::string(address.substr(0, colon));
        rest = address.substr(colon);
        // An IPv6 address without brackets cannot be told apart from its port.
        if (host.find(':') != std::string::npos) {
            return false;
        }
    }
    if (host.empty() || !rest.starts_with(':')) {
        return false;
    }
    const std::string_view digits = rest.substr(1);
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() ||
        value < (allowPortZero ? 0u : 1u) || value > 65535) {
        return false;
    }
    port = static_cast<uint16_t>(value);
    return true;
}

std::unique_ptr<TcpBackend> TcpBackend::Create(std::string_view address, std::string& error) {
    std::string host;
    uint16_t port = 0;
    if (!ParseTcpAddress(address, host, port)) {
        error = "malformed board address \"tcp:" + std::string(address) +
                "\" (use tcp:HOST:PORT, a port from 1 to 65535)";
        return nullptr;
    }
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const int resolved = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (resolved != 0 || found == nullptr || found->ai_addrlen > sizeof(sockaddr_storage)) {
        error = "cannot resolve board host " + host + ": " +
                (resolved != 0 ? ::gai_strerror(resolved) : "no address");
        if (found != nullptr) {
            ::freeaddrinfo(found);
        }
        return nullptr;
    }
    auto state = std::make_shared<TcpBackendState>();
    std::memcpy(&state->address, found->ai_addr, found->ai_addrlen);
    state->addressLength = found->ai_addrlen;
    ::freeaddrinfo(found);
    state->path = "tcp:" + std::string(address);
    int pipeFds[2];
    if (::pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC) != 0) {
        error = std::string("cannot set up the board connection: ") + std::strerror(errno);
        return nullptr;
    }
    state->wakeRead = pipeFds[0];
    state->wakeWrite = pipeFds[1];
    return std::unique_ptr<TcpBackend>(new TcpBackend(std::move(state)));
}

TcpBackend::TcpBackend(std::shared_ptr<TcpBackendState> state) : state_(std::move(state)) {
    io_ = std::thread([this] { RunIo(); });
}

TcpBackend::~TcpBackend() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
        state_->changed.notify_all();
        state_->WakeLocked();
    }
    io_.join();
}

std::vector<HidDeviceInfo> TcpBackend::Enumerate() {
    TcpBackendState& s = *state_;
    std::unique_lock lock(s.mutex);
    if (s.stopping) {
        return {};
    }
    if (!s.ConnectedNowLocked() && s.link == TcpBackendState::Link::Idle) {
        s.StartConnectLocked(true);
    }
    if (s.link == TcpBackendState::Link::Connecting) {
        s.enumerateWaiting = true;
        s.changed.wait_for(lock, std::chrono::milliseconds(kConnectWaitMs), [&] {
            return s.stopping || s.link != TcpBackendState::Link::Connecting;
        });
        s.enumerateWaiting = false;
    }
    if (s.stopping || !s.ConnectedNowLocked()) {
        return {};
    }
    return {s.Device()};
}

std::unique_ptr<HidHandle> TcpBackend::Open(const std::string& path) {
    TcpBackendState& s = *state_;
    std::lock_guard lock(s.mutex);
    if (s.stopping || path != s.path || !s.ConnectedNowLocked()) {
        return nullptr;
    }
    auto queue = std::make_shared<HandleQueue>();
    s.connection->handles.push_back(queue);
    return std::make_unique<TcpHandle>(state_, s.connection, std::move(queue));
}

void TcpBackend::WatchDevices(DeviceListener listener) {
    std::lock_guard lock(state_->mutex);
    state_->listener = std::move(listener);
}

const std::string& TcpBackend::Path() const {
    return state_->path;
}

void TcpBackend::RunIo() {
    TcpBackendState& s = *state_;
    using Link = TcpBackendState::Link;
    std::array<uint8_t, kReceiveChunk> received{};
    std::unique_lock lock(s.mutex);
    while (!s.stopping) {
        const auto now = Clock::now();
        if (s.connection && s.connection->gone) {
            s.LoseLocked();
        }
        if (s.link == Link::Connecting && now >= s.connectDeadline) {
            s.AbandonConnectLocked();
        }
        if (s.link == Link::Idle && s.retrying && s.listener && now >= s.nextRetry) {
            s.nextRetry = now + std::chrono::milliseconds(kRetryPeriodMs);
            s.StartConnectLocked(false);
        }

        std::array<pollfd, 3> fds{};
        nfds_t count = 0;
        fds[count++] = {s.wakeRead, POLLIN, 0};
        int timeoutMs = kIdlePollMs;
        int connectingIndex = -1;
        if (s.link == Link::Connecting) {
            connectingIndex = static_cast<int>(count);
            fds[count++] = {s.connectingFd, POLLOUT, 0};
            timeoutMs = std::min(timeoutMs, MsUntil(s.connectDeadline, now));
        } else if (s.link == Link::Idle && s.retrying && s.listener) {
            timeoutMs = std::min(timeoutMs, MsUntil(s.nextRetry, now));
        }
        std::shared_ptr<Connection> connection = s.link == Link::Connected ? s.connection : nullptr;
        int connectionIndex = -1;
        if (connection) {
            connectionIndex = static_cast<int>(count);
            const short events = connection->outgoing.empty() ? POLLIN : POLLIN | POLLOUT;
            fds[count++] = {connection->fd, events, 0};
        }
        std::vector<DeviceEvent> events;
        events.swap(s.pendingEvents);
        const HidBackend::DeviceListener listener = events.empty() ? nullptr : s.listener;
        lock.unlock();

        for (const DeviceEvent event : events) {
            listener(event, s.path);
        }
        ::poll(fds.data(), count, timeoutMs);
        DrainWakePipe(s.wakeRead);
        ssize_t length = 0;
        int receiveError = 0;
        const bool readable =
            connectionIndex >= 0 && (fds[connectionIndex].revents & (POLLIN | POLLHUP | POLLERR));
        if (readable) {
            length = ::recv(connection->fd, received.data(), received.size(), MSG_DONTWAIT);
            receiveError = length < 0 ? errno : 0;
        }

        lock.lock();
        if (connectingIndex >= 0 && fds[connectingIndex].revents != 0 &&
            s.link == Link::Connecting) {
            s.FinishConnectLocked();
        }
        if (!connection || connection->gone) {
            continue;
        }
        if (readable) {
            if (length > 0) {
                s.DeliverLocked(*connection, received.data(), static_cast<size_t>(length));
            } else if (length == 0 || (receiveError != EAGAIN && receiveError != EWOULDBLOCK &&
                                       receiveError != EINTR)) {
                s.MarkGoneLocked(*connection);
                continue;
            }
        }
        if (fds[connectionIndex].revents & POLLOUT) {
            s.FlushLocked(*connection);
        }
    }
    if (s.connection) {
        s.MarkGoneLocked(*s.connection);
        CloseFd(s.connection->fd);
        s.connection.reset();
    }
    CloseFd(s.connectingFd);
    s.link = Link::Idle;
}
