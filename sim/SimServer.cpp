#include "sim/SimServer.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "link/TcpBackend.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kFrameSize = TcpBackend::kFrameSize;
// The serving thread looks at its state at least this often.
constexpr int kIdlePollMs = 100;
// Each read of the board's answers ends after this long, so a session ends promptly.
constexpr int kAnswerSliceMs = 20;
// A station that takes no answer for this long has stopped reading: it is dropped.
constexpr auto kSendTimeout = std::chrono::seconds(2);
constexpr int kSendPollMs = 20;
constexpr int kListenBacklog = 4;
constexpr size_t kReceiveChunk = 4096;

void CloseFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

// "HOST:PORT" of a socket address, IPv6 hosts in brackets.
std::string AddressText(const sockaddr_storage& address, socklen_t length) {
    std::array<char, NI_MAXHOST> host{};
    std::array<char, NI_MAXSERV> service{};
    if (::getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, host.data(), host.size(),
                      service.data(), service.size(), NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
        return "?";
    }
    const std::string hostText = host.data();
    const bool v6 = hostText.find(':') != std::string::npos;
    return (v6 ? "[" + hostText + "]" : hostText) + ":" + service.data();
}

enum class SessionEnd { None, BoardGone, StationNotReading, ServerStopping };

}  // namespace

struct SimServerState {
    SimServerState(const SimOptions& options, std::ostream& out)
        : backend(MakeSimBackend(options)), out(out) {}

    ~SimServerState() {
        CloseFd(listenFd);
        CloseFd(wakeRead);
        CloseFd(wakeWrite);
    }

    void Wake() const {
        const uint8_t byte = 0;
        // A full pipe already holds a wake-up.
        [[maybe_unused]] const ssize_t written = ::write(wakeWrite, &byte, 1);
    }

    void Print(const std::string& line) { out << line << std::endl; }

    std::unique_ptr<SimBackend> backend;
    std::ostream& out;
    int listenFd = -1;
    int wakeRead = -1;
    int wakeWrite = -1;
    std::string listening;
    uint16_t port = 0;
    std::atomic<bool> stopping{false};
};

namespace {

// One station being served: frames from the socket go to the board on the serving thread;
// the board's answers go back on the session's own thread.
class Session {
public:
    Session(SimServerState& server, int fd, std::string peer)
        : server_(server), fd_(fd), peer_(std::move(peer)) {
        // A new connection is a re-plug.
        server_.backend->Unplug();
        server_.backend->Plug();
        handle_ = server_.backend->Open(server_.backend->Path());
        forwarder_ = std::thread([this] { ForwardAnswers(); });
    }

    ~Session() {
        stop_ = true;
        forwarder_.join();
        handle_.reset();
        ::shutdown(fd_, SHUT_RDWR);
        CloseFd(fd_);
    }

    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    int Fd() const { return fd_; }
    const std::string& Peer() const { return peer_; }
    SessionEnd Ended() const { return ended_; }

    // Hands every whole frame among the bytes to the board; keeps the start of the next one.
    void Receive(const uint8_t* data, size_t length) {
        partial_.insert(partial_.end(), data, data + length);
        size_t used = 0;
        for (; partial_.size() - used >= kFrameSize; used += kFrameSize) {
            if (!handle_) {
                continue;
            }
            const WriteStart start = handle_->StartWrite(partial_.data() + used, kFrameSize);
            // A report the board does not take goes unanswered, as on the bus.
            if (start.kind == WriteStart::Kind::Failed &&
                start.errorCode == SimBackend::kDeviceGoneError) {
                End(SessionEnd::BoardGone);
            }
        }
        partial_.erase(partial_.begin(), partial_.begin() + static_cast<std::ptrdiff_t>(used));
    }

private:
    void End(SessionEnd reason) {
        SessionEnd none = SessionEnd::None;
        if (ended_.compare_exchange_strong(none, reason)) {
            server_.Wake();
        }
    }

    void ForwardAnswers() {
        if (!handle_) {
            End(SessionEnd::BoardGone);
            return;
        }
        std::array<uint8_t, kFrameSize> answer{};
        while (!stop_) {
            const int length = handle_->Read(answer.data(), answer.size(), kAnswerSliceMs);
            if (length < 0) {
                End(SessionEnd::BoardGone);
                return;
            }
            if (length > 0 && !SendAll(answer.data(), static_cast<size_t>(length))) {
                End(SessionEnd::StationNotReading);
                return;
            }
        }
    }

    bool SendAll(const uint8_t* data, size_t length) {
        const auto deadline = Clock::now() + kSendTimeout;
        while (length > 0) {
            const ssize_t sent = ::send(fd_, data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent > 0) {
                data += sent;
                length -= static_cast<size_t>(sent);
                continue;
            }
            if (sent < 0 && errno == EINTR) {
                continue;
            }
            if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                // The station is gone; the serving thread sees it on its own side.
                return true;
            }
            if (stop_ || Clock::now() >= deadline) {
                return false;
            }
            pollfd writable{fd_, POLLOUT, 0};
            ::poll(&writable, 1, kSendPollMs);
        }
        return true;
    }

    SimServerState& server_;
    int fd_;
    const std::string peer_;
    std::unique_ptr<HidHandle> handle_;
    std::vector<uint8_t> partial_;
    std::atomic<bool> stop_{false};
    std::atomic<SessionEnd> ended_{SessionEnd::None};
    std::thread forwarder_;
};

const char* EndText(SessionEnd reason) {
    switch (reason) {
        case SessionEnd::BoardGone:
            return " dropped: the board was unplugged";
        case SessionEnd::StationNotReading:
            return " dropped: it stopped taking answers";
        case SessionEnd::ServerStopping:
            return " dropped: the simulator stops";
        case SessionEnd::None:
            break;
    }
    return " left";
}

}  // namespace

SimServer::SimServer(const SimOptions& options, std::ostream& out)
    : state_(std::make_unique<SimServerState>(options, out)) {}

SimServer::~SimServer() {
    Stop();
}

bool SimServer::Start(std::string_view address, std::string& error) {
    SimServerState& s = *state_;
    std::string host;
    uint16_t port = 0;
    if (!ParseTcpAddress(address, host, port, true)) {
        error = "malformed address \"" + std::string(address) + "\" (use HOST:PORT)";
        return false;
    }
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | AI_PASSIVE;
    addrinfo* found = nullptr;
    const int resolved = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (resolved != 0 || found == nullptr) {
        error = "cannot resolve " + host + ": " +
                (resolved != 0 ? ::gai_strerror(resolved) : "no address");
        if (found != nullptr) {
            ::freeaddrinfo(found);
        }
        return false;
    }
    s.listenFd = ::socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    const bool listening =
        s.listenFd >= 0 &&
        ::setsockopt(s.listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 &&
        ::bind(s.listenFd, found->ai_addr, found->ai_addrlen) == 0 &&
        ::listen(s.listenFd, kListenBacklog) == 0;
    const int listenError = errno;
    ::freeaddrinfo(found);
    if (!listening) {
        CloseFd(s.listenFd);
        error = "cannot listen on " + std::string(address) + ": " + std::strerror(listenError);
        return false;
    }
    sockaddr_storage bound{};
    socklen_t boundLength = sizeof bound;
    ::getsockname(s.listenFd, reinterpret_cast<sockaddr*>(&bound), &boundLength);
    s.listening = AddressText(bound, boundLength);
    s.port =
        ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6&>(bound).sin6_port
                                          : reinterpret_cast<const sockaddr_in&>(bound).sin_port);
    int pipeFds[2];
    if (::pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC) != 0) {
        error = std::string("cannot set up the server: ") + std::strerror(errno);
        CloseFd(s.listenFd);
        return false;
    }
    s.wakeRead = pipeFds[0];
    s.wakeWrite = pipeFds[1];
    // Before the thread starts, so no station's line can come first.
    s.Print("listening on " + s.listening);
    serving_ = std::thread([this] { Serve(); });
    return true;
}

const std::string& SimServer::ListeningAddress() const {
    return state_->listening;
}

uint16_t SimServer::Port() const {
    return state_->port;
}

void SimServer::Stop() {
    if (!serving_.joinable()) {
        return;
    }
    state_->stopping = true;
    state_->Wake();
    serving_.join();
    CloseFd(state_->listenFd);
}

SimBackend& SimServer::Backend() {
    return *state_->backend;
}

void SimServer::Serve() {
    SimServerState& s = *state_;
    std::unique_ptr<Session> session;
    bool refusalReported = false;
    std::array<uint8_t, kReceiveChunk> received{};
    const auto endSession = [&](SessionEnd reason) {
        const std::string line = "station " + session->Peer() + EndText(reason);
        session.reset();
        s.Print(line);
    };
    while (!s.stopping) {
        std::array<pollfd, 3> fds{};
        fds[0] = {s.wakeRead, POLLIN, 0};
        fds[1] = {s.listenFd, POLLIN, 0};
        nfds_t count = 2;
        if (session) {
            fds[count++] = {session->Fd(), POLLIN, 0};
        }
        ::poll(fds.data(), count, kIdlePollMs);
        std::array<uint8_t, 64> drained{};
        while (::read(s.wakeRead, drained.data(), drained.size()) > 0) {
        }
        if (s.stopping) {
            break;
        }
        if (session && session->Ended() != SessionEnd::None) {
            endSession(session->Ended());
        }
        if (session && (fds[2].revents & (POLLIN | POLLHUP | POLLERR))) {
            const ssize_t length =
                ::recv(session->Fd(), received.data(), received.size(), MSG_DONTWAIT);
            if (length > 0) {
                session->Receive(received.data(), static_cast<size_t>(length));
            } else if (length == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
                endSession(SessionEnd::None);
            }
        }
        if (fds[1].revents & POLLIN) {
            sockaddr_storage peer{};
            socklen_t peerLength = sizeof peer;
            int fd = ::accept4(s.listenFd, reinterpret_cast<sockaddr*>(&peer), &peerLength,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0) {
                continue;
            }
            const std::string peerText = AddressText(peer, peerLength);
            if (session) {
                CloseFd(fd);
                if (!refusalReported) {
                    s.Print("station " + peerText + " turned away: serving " + session->Peer());
                    refusalReported = true;
                }
                continue;
            }
            const int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            session = std::make_unique<Session>(s, fd, peerText);
            refusalReported = false;
            s.Print("station " + peerText + " connected");
        }
    }
    if (session) {
        endSession(SessionEnd::ServerStopping);
    }
}
