// Reading files with Windows file handles.
#include "door/platform/files.h"

#include <cerrno>

#include <windows.h>

namespace {

int ErrnoOf(DWORD AError) {
    switch (AError) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return EACCES;
    default: return EIO;
    }
}

} // namespace

TFileReader::TFileReader(const std::string& AFileName, bool ARegularOnly) {
    HANDLE h = ::CreateFileA(AFileName.c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        FError = ErrnoOf(::GetLastError());
        // A directory cannot be opened as a file: say what it is, not "access denied".
        const DWORD attributes = ::GetFileAttributesA(AFileName.c_str());
        FNotRegular = ARegularOnly && attributes != INVALID_FILE_ATTRIBUTES &&
                      (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (FNotRegular) FError = EINVAL;
        return;
    }
    if (ARegularOnly && ::GetFileType(h) != FILE_TYPE_DISK) {
        ::CloseHandle(h);
        FError = EINVAL;
        FNotRegular = true;
        return;
    }
    FHandle = reinterpret_cast<long long>(h);
}

TFileReader::~TFileReader() {
    Close();
}

long TFileReader::Read(void* ABuffer, std::size_t ASize) {
    if (FHandle == kClosed) return -1;
    DWORD got = 0;
    const DWORD size = ASize > 0x40000000 ? 0x40000000 : static_cast<DWORD>(ASize);
    if (!::ReadFile(reinterpret_cast<HANDLE>(FHandle), ABuffer, size, &got, nullptr)) {
        FError = ErrnoOf(::GetLastError());
        return -1;
    }
    return static_cast<long>(got);
}

bool TFileReader::Close() {
    if (FHandle == kClosed) return true;
    const bool ok = ::CloseHandle(reinterpret_cast<HANDLE>(FHandle)) != 0;
    if (!ok) FError = EIO;
    FHandle = kClosed;
    return ok;
}

bool SyncToDisk(const std::string& AName) {
    // A directory opens only with backup semantics; its entries are the file system's to keep.
    HANDLE h = ::CreateFileA(AName.c_str(), GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool synced = ::FlushFileBuffers(h) != 0;
    ::CloseHandle(h);
    return synced;
}
