#include "app/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

SingleInstanceLock::SingleInstanceLock(std::string path) : path_(std::move(path)) {}

SingleInstanceLock::~SingleInstanceLock() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool SingleInstanceLock::TryAcquire() {
    if (fd_ >= 0) {
        return true;
    }
    // Read-only is enough for flock, and lets a station of another user open a lock file it
    // did not create. Close-on-exec, so no child keeps the lock after this process is gone.
    const int fd = open(path_.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return true;
    }
    int result = 0;
    do {
        result = flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const bool heldElsewhere = errno == EWOULDBLOCK;
        close(fd);
        return !heldElsewhere;
    }
    fd_ = fd;
    return true;
}

std::string SingleInstanceLockPath(std::string_view name) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder = runtime != nullptr && *runtime != '\0' ? runtime : "/tmp";
    return folder + "/" + std::string(name) + ".lock";
}
