// The process's one store, chosen by the configuration.
#include "game/store/store.h"

#include "game/store/sqlite/sqlitestore.h"

#include <algorithm>

TStoreSetting GameStoreSetting;

namespace {

std::unique_ptr<TGameStore> TheStore;

// 1 to 8 of A-Z and 0-9.
bool IsBoardTag(const std::string& ATag) {
    return !ATag.empty() && ATag.size() <= 8 && std::all_of(ATag.begin(), ATag.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
}

std::unique_ptr<TGameStore> MakeStore(const TStoreSetting& ASetting) {
    if (ASetting.Connection.empty()) return std::make_unique<TSqliteStore>();
    // The tag is the board's part of every player: a board without one would rank as nobody's.
    if (!IsBoardTag(ASetting.Board))
        throw GameDatabaseError::ForCaller(
            "this door's league settings are incomplete; the sysop's log has the details.",
            "bbsglimra.cfg: line 4 names a league database, so line 5 must be the board's tag, "
            "1 to 8 of A-Z and 0-9; it is " +
                (ASetting.Board.empty() ? std::string("missing") : "\"" + ASetting.Board + "\"") +
                ".");
    return MakeLeagueStore(ASetting);
}

} // namespace

TGameStore& GameStore() {
    if (!TheStore) TheStore = MakeStore(GameStoreSetting);
    return *TheStore;
}

void SetGameStore(std::unique_ptr<TGameStore> AStore) {
    TheStore = std::move(AStore);
}
