// The league's score spool: every score is written here, durably, before it is sent, and removed
// once the server has it, so that a server that is away or a door killed at any step loses no
// score. Each entry carries a fresh unique id that the server records in the same transaction as
// the score, so an entry sent twice counts once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The spool directory, relative to the door directory (the working directory).
extern std::string ScoreSpoolDir;

// Called with the name of each step a spool entry passes ("written", "kept", "sent", "removed");
// null in the door. Tests set it to end the process at a step.
using TSpoolStepHook = void (*)(const char* AStep);
extern TSpoolStepHook SpoolStepHook;
void SpoolStep(const char* AStep);

// One score to send: board, alias and date (YYYY-MM-DD) make the player's row.
struct TSpoolEntry {
    std::string Id;
    std::string Board;
    std::string UserName;
    std::string Date;
    std::int32_t Score = 0;
};

// AText with every byte outside A-Z, a-z and 0-9 written as %XX: safe in a file name and on a line.
std::string SpoolEncode(const std::string& AText);
std::string SpoolDecode(const std::string& AText);

class TScoreSpool {
  public:
    explicit TScoreSpool(std::string ADir) : FDir(std::move(ADir)) {}

    // Makes the directory when missing; false (with AWhy) when it cannot be made or written.
    bool Ready(std::string& AWhy) const;
    // Writes AEntry (a fresh id is given to it) under the name of its player and date, replacing
    // an older entry of theirs: written to a temporary name, flushed, then renamed into place.
    // Returns the file's name; raises GameDatabaseError when it cannot be written.
    std::string Keep(TSpoolEntry& AEntry) const;
    // The entries of board ABoard waiting to be sent, oldest first. Temporary files that a
    // door ended before it renamed them are removed.
    std::vector<std::string> Waiting(const std::string& ABoard) const;
    // The entry in file APath; nothing when it is incomplete or unreadable.
    std::optional<TSpoolEntry> Read(const std::string& APath) const;
    // Removes APath once its entry AId is sent, unless a newer entry replaced it meanwhile.
    void Sent(const std::string& APath, const std::string& AId) const;
    // Moves APath aside (name + ".refused"), out of the way of the next start-up.
    void SetAside(const std::string& APath) const;

  private:
    std::string FDir;
};
