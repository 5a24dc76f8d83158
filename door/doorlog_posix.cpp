// The log's file calls on POSIX systems.
#include "door/doorlog.h"

#include <cerrno>

#include <fcntl.h>
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

} // namespace

bool DoorLogAppend(const std::string& AFileName, const std::string& ALine, std::int64_t AMaxBytes) {
    int fd = OpenForAppend(AFileName);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0 &&
        st.st_size + static_cast<std::int64_t>(ALine.size()) > AMaxBytes) {
        // Another node may have moved it already: only the file still open here is moved.
        struct stat named {};
        if (::stat(AFileName.c_str(), &named) == 0 && named.st_ino == st.st_ino &&
            named.st_dev == st.st_dev)
            ::rename(AFileName.c_str(), (AFileName + ".1").c_str());
        ::close(fd);
        fd = OpenForAppend(AFileName);
        if (fd < 0) return false;
    }
    // O_APPEND: each write lands whole at the end, whichever node writes.
    ssize_t written;
    do {
        written = ::write(fd, ALine.data(), ALine.size());
    } while (written < 0 && errno == EINTR);
    ::close(fd);
    return written == static_cast<ssize_t>(ALine.size());
}
