// The league back-end of a build without libpq: it refuses, so that a board set up for a league
// never plays on its own file instead and splits the league.
#include "game/store/store.h"

std::unique_ptr<TGameStore> MakeLeagueStore(const TStoreSetting&) {
    throw GameDatabaseError::ForCaller(
        "this door cannot join a league; the sysop's log has the details.",
        "bbsglimra.cfg: line 4 names a league database, but this build of Glimra has no league "
        "support (PostgreSQL); empty line 4 to play on the board's own file.");
}
