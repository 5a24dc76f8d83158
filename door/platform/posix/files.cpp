// Reading files with POSIX descriptors.
#include "door/platform/files.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TFileReader::TFileReader(const std::string& AFileName, bool ARegularOnly) {
    const int flags = O_RDONLY | O_CLOEXEC | (ARegularOnly ? O_NONBLOCK | O_NOCTTY : 0);
    const int fd = ::open(AFileName.c_str(), flags);
    if (fd < 0) {
        FError = errno;
        return;
    }
    struct stat st {};
    if (ARegularOnly && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd);
        FError = EINVAL;
        FNotRegular = true;
        return;
    }
    FHandle = fd;
}

TFileReader::~TFileReader() {
    Close();
}

long TFileReader::Read(void* ABuffer, std::size_t ASize) {
    if (FHandle == kClosed) return -1;
    ssize_t got;
    do {
        got = ::read(static_cast<int>(FHandle), ABuffer, ASize);
    } while (got < 0 && errno == EINTR);
    if (got < 0) FError = errno;
    return static_cast<long>(got);
}

bool TFileReader::Close() {
    if (FHandle == kClosed) return true;
    // Linux releases the descriptor even when close() fails, so it is never closed again.
    const bool ok = ::close(static_cast<int>(FHandle)) == 0;
    if (!ok) FError = errno;
    FHandle = kClosed;
    return ok;
}

bool SyncToDisk(const std::string& AName) {
    const int fd = ::open(AName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}
