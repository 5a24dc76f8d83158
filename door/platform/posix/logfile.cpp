// The log's file calls on POSIX systems.
#include "door/platform/logfile.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int OpenForAppend(const std::string& AFileName) {
    // Not a FIFO or a device: O_NONBLOCK keeps the open from waiting, and fstat refuses them.
    const int fd = ::open(AFileName.c_str(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
    struct stat st {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool SameFile(const struct stat& A, const struct stat& B) {
    return A.st_ino == B.st_ino && A.st_dev == B.st_dev;
}

// The file AFileName names, opened and locked (flock: every node's descriptor of it takes
// turns), with its size in ASize; -1 when it cannot be. A node that waited for the lock while
// another moved the file away opens the name afresh.
int OpenLocked(const std::string& AFileName, struct stat& ASize) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = OpenForAppend(AFileName);
        if (fd < 0) return -1;
        int locked = 0;
        do {
            locked = ::flock(fd, LOCK_EX);
        } while (locked < 0 && errno == EINTR);
        if (::fstat(fd, &ASize) != 0) {
            ::close(fd);
            return -1;
        }
        // Without locks (a file system that has none) this is as good as it gets.
        if (locked < 0) return fd;
        struct stat named {};
        if (::stat(AFileName.c_str(), &named) == 0 && SameFile(ASize, named)) return fd;
        ::close(fd);
    }
    return -1;
}

} // namespace

bool DoorLogAppend(const std::string& AFileName, const std::string& ALine, std::int64_t AMaxBytes) {
    // The size is measured and the file moved under its lock, and only the file measured is moved:
    // two nodes can never both move the log, the second one a nearly empty new one over the full
    // one.
    struct stat st {};
    int fd = OpenLocked(AFileName, st);
    if (fd < 0) return false;
    if (st.st_size > 0 && st.st_size + static_cast<std::int64_t>(ALine.size()) > AMaxBytes) {
        // A log that cannot be moved grows on. Once it has been, the lock goes with the close and
        // a node that waited for it finds the name moved.
        if (::rename(AFileName.c_str(), (AFileName + ".1").c_str()) == 0) {
            ::close(fd);
            fd = OpenLocked(AFileName, st);
            if (fd < 0) return false;
        }
    }
    // O_APPEND: each write lands whole at the end.
    ssize_t written;
    do {
        written = ::write(fd, ALine.data(), ALine.size());
    } while (written < 0 && errno == EINTR);
    ::close(fd);
    return written == static_cast<ssize_t>(ALine.size());
}
