// The log's file calls on Windows.
#include "door/platform/logfile.h"

#include <algorithm>

#include <windows.h>

namespace {

// Renames the very file AFile is (not whatever the name means by now) to ATo, replacing it.
bool RenameOpenFile(HANDLE AFile, const std::string& ATo) {
    std::wstring to(ATo.size(), L'\0');
    to.resize(static_cast<std::size_t>(
        ::MultiByteToWideChar(CP_ACP, 0, ATo.data(), static_cast<int>(ATo.size()), to.data(),
                              static_cast<int>(to.size()))));
    std::string buffer(sizeof(FILE_RENAME_INFO) + to.size() * sizeof(wchar_t), '\0');
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(to.size() * sizeof(wchar_t));
    std::copy(to.begin(), to.end(), info->FileName);
    return ::SetFileInformationByHandle(AFile, FileRenameInfo, info,
                                        static_cast<DWORD>(buffer.size())) != 0;
}

// Opened for appending only (each write lands whole at the end, whichever node writes), shared
// with the other nodes; not a device or a pipe. Read access is only there for LockFileEx.
HANDLE OpenForAppend(const std::string& AFileName) {
    HANDLE h = ::CreateFileA(AFileName.c_str(), FILE_APPEND_DATA | FILE_READ_DATA | DELETE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE && ::GetFileType(h) != FILE_TYPE_DISK) {
        ::CloseHandle(h);
        return INVALID_HANDLE_VALUE;
    }
    return h;
}

bool SameFile(HANDLE A, HANDLE B) {
    BY_HANDLE_FILE_INFORMATION a{}, b{};
    return ::GetFileInformationByHandle(A, &a) && ::GetFileInformationByHandle(B, &b) &&
           a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

// True when AFileName still names the file AFile is.
bool StillNamed(HANDLE AFile, const std::string& AFileName) {
    HANDLE named =
        ::CreateFileA(AFileName.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (named == INVALID_HANDLE_VALUE) return false;
    const bool same = SameFile(AFile, named);
    ::CloseHandle(named);
    return same;
}

// The lock every node takes on the log: one byte far beyond any end, so that it never stands in
// the way of reading or appending (Windows locks are mandatory).
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

// The file AFileName names, opened and locked, with its size in ASize; INVALID_HANDLE_VALUE when
// it cannot be. A node that waited for the lock while another moved the file away opens the name
// afresh. The lock goes with the handle's close.
HANDLE OpenLocked(const std::string& AFileName, LARGE_INTEGER& ASize) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        HANDLE h = OpenForAppend(AFileName);
        if (h == INVALID_HANDLE_VALUE) return h;
        OVERLAPPED at{};
        at.OffsetHigh = kLockOffsetHigh;
        const bool locked = ::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at);
        if (!::GetFileSizeEx(h, &ASize)) {
            ::CloseHandle(h);
            return INVALID_HANDLE_VALUE;
        }
        if (!locked || StillNamed(h, AFileName)) return h;
        ::CloseHandle(h);
    }
    return INVALID_HANDLE_VALUE;
}

} // namespace

bool DoorLogAppend(const std::string& AFileName, const std::string& ALine, std::int64_t AMaxBytes) {
    // The size is measured and the file moved under its lock, and only the file measured is moved:
    // two nodes can never both move the log, the second one a nearly empty new one over the full
    // one.
    LARGE_INTEGER size{};
    HANDLE h = OpenLocked(AFileName, size);
    if (h == INVALID_HANDLE_VALUE) return false;
    if (size.QuadPart > 0 && size.QuadPart + static_cast<std::int64_t>(ALine.size()) > AMaxBytes &&
        RenameOpenFile(h, AFileName + ".1")) {
        ::CloseHandle(h);
        h = OpenLocked(AFileName, size);
        if (h == INVALID_HANDLE_VALUE) return false;
    }
    DWORD written = 0;
    const bool ok =
        ::WriteFile(h, ALine.data(), static_cast<DWORD>(ALine.size()), &written, nullptr) &&
        written == ALine.size();
    ::CloseHandle(h);
    return ok;
}
