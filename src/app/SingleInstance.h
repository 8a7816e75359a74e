#pragma once

#include <string>
#include <string_view>

// A system-wide named lock that keeps a second station from starting. The lock is a file
// lock, so the kernel releases it when the holding process ends, also after a crash.
class SingleInstanceLock {
public:
    // path: the lock file; created when missing and never removed.
    explicit SingleInstanceLock(std::string path);
    // Releases the lock if held.
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // Takes the lock without waiting. False when another process (or another lock object of
    // this process) holds it. When the lock file cannot be created or locked at all, the
    // answer is true: a station that cannot tell must still be able to run.
    bool TryAcquire();

    const std::string& Path() const { return path_; }

private:
    std::string path_;
    int fd_ = -1;
};

// Where the lock named name lives: $XDG_RUNTIME_DIR/name.lock, or /tmp/name.lock when the
// variable is unset or empty.
std::string SingleInstanceLockPath(std::string_view name);
