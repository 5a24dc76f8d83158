// A failure of the game's store, whichever back-end raised it: what it means to the caller
// (TDatabaseFault), the whole story for the sysop, and whether trying again may help.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

// What a database failure means to a caller, who is told no more than that.
// Unreachable: a league server that cannot be reached, or that dropped the connection.
enum class TDatabaseFault { Busy, Full, Damaged, Missing, NotWritable, Unreachable, Other };

// A database failure: the file is missing, not set up, locked too long, or a statement failed.
// what() is the whole story for the sysop (file, statement, SQLite's words); a caller is shown
// CallerText() alone.
class GameDatabaseError : public std::runtime_error {
  public:
    // A text meant for the caller as it is (CallerText() returns it), with SQLite's result code
    // when there is one.
    explicit GameDatabaseError(const std::string& AWhat, int ACode = 0)
        : std::runtime_error(AWhat), FCode(ACode) {}
    // A failure for the sysop: AWhat names the file and says why; the caller gets AFault's
    // sentence.
    GameDatabaseError(TDatabaseFault AFault, const std::string& AWhat)
        : std::runtime_error(AWhat), FCode(0), FFault(AFault) {}
    // A failure that is not the database's own (a setting of the door): the caller is shown
    // ACallerText, the log and the sysop get AWhat.
    static GameDatabaseError ForCaller(const std::string& ACallerText, const std::string& AWhat) {
        GameDatabaseError error(AWhat);
        error.FCallerText = ACallerText;
        return error;
    }
    // A statement on AFile failed with SQLite's AReason and result code ACode.
    GameDatabaseError(const std::string& AFile, std::string_view AStatement,
                      const std::string& AReason, int ACode);
    // SQLite's primary result code of the failure; 0 when SQLite reported none.
    int Code() const { return FCode & 0xFF; }
    // True for a failure that may pass if the step is tried again later: another process held
    // the file too long (busy, locked), the disk is full, a read or write of the file failed, or
    // the file was replaced under the open connection (Replaced).
    bool Transient() const;
    TDatabaseFault Fault() const;
    // SQLite's words for a failed statement; what() for any other failure.
    std::string Reason() const { return FReason.empty() ? what() : FReason; }
    // One plain sentence for the caller: never a file name, a statement or SQLite's words.
    std::string CallerText() const;
    // what() with the statement cut to at most AMaxStatement characters, so that a log line's
    // cap never cuts off the reason, which comes after it.
    std::string LogText(std::size_t AMaxStatement = 160) const;
    // True when the file was moved or replaced (a restore with mv) while the connection had it
    // open: only a new connection reaches the file now under the name.
    bool Replaced() const;

  private:
    int FCode;
    std::optional<TDatabaseFault> FFault;
    std::string FFile, FStatement, FReason; // set for a failed statement
    std::string FCallerText;                // set by ForCaller
};
