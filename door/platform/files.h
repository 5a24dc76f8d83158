// Reading a file through the operating system: bounded reads into the caller's buffer, the error
// as an errno value, the handle closed once. files_posix.cpp and files_windows.cpp implement it.
#pragma once

#include <cstddef>
#include <string>

class TFileReader {
  public:
    // Opens AFileName for reading. With ARegularOnly a FIFO, device or directory named as the
    // file is not opened (it could block or never end): NotRegular() tells so.
    TFileReader(const std::string& AFileName, bool ARegularOnly);
    ~TFileReader();
    TFileReader(const TFileReader&) = delete;
    TFileReader& operator=(const TFileReader&) = delete;

    bool IsOpen() const { return FHandle != kClosed; }
    // True when the open was refused because the name is no regular file.
    bool NotRegular() const { return FNotRegular; }
    // The errno value of the last failed open, read or close; 0 when none failed.
    int Error() const { return FError; }
    // Reads up to ASize bytes: the count read, 0 at the end of the file, -1 on an error.
    long Read(void* ABuffer, std::size_t ASize);
    // Closes the file; false when closing reported an error.
    bool Close();

  private:
    static constexpr long long kClosed = -1;
    long long FHandle = kClosed;
    int FError = 0;
    bool FNotRegular = false;
};

// Makes what was written to the file or directory AName durable (fsync, FlushFileBuffers), so
// that it survives a crash of the machine; false when that failed.
bool SyncToDisk(const std::string& AName);
