// The log's file calls on Windows.
#include "door/doorlog.h"

#include <algorithm>

#include <windows.h>

namespace {

// Renames the very file AFile is (not whatever the name means by now) to ATo, replacing it.
void RenameOpenFile(HANDLE AFile, const std::string& ATo) {
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
    ::SetFileInformationByHandle(AFile, FileRenameInfo, info, static_cast<DWORD>(buffer.size()));
}

// Opened for appending only (each write lands whole at the end, whichever node writes), shared
// with the other nodes; not a device or a pipe.
HANDLE OpenForAppend(const std::string& AFileName) {
    HANDLE h = ::CreateFileA(AFileName.c_str(), FILE_APPEND_DATA | DELETE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE && ::GetFileType(h) != FILE_TYPE_DISK) {
        ::CloseHandle(h);
        return INVALID_HANDLE_VALUE;
    }
    return h;
}

} // namespace

bool DoorLogAppend(const std::string& AFileName, const std::string& ALine, std::int64_t AMaxBytes) {
    HANDLE h = OpenForAppend(AFileName);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(h, &size) && size.QuadPart > 0 &&
        size.QuadPart + static_cast<std::int64_t>(ALine.size()) > AMaxBytes) {
        // Another node may have moved it already: only the file still open here is moved.
        RenameOpenFile(h, AFileName + ".1");
        ::CloseHandle(h);
        h = OpenForAppend(AFileName);
        if (h == INVALID_HANDLE_VALUE) return false;
    }
    DWORD written = 0;
    const bool ok =
        ::WriteFile(h, ALine.data(), static_cast<DWORD>(ALine.size()), &written, nullptr) &&
        written == ALine.size();
    ::CloseHandle(h);
    return ok;
}
