// Brings the database up to this version at start-up.
#include "game/store/upgrade.h"

#include "game/store/database.h"

bool UpgradeGameDatabase() {
    // Made here first: a league setting that cannot be used fails before anything else.
    GameStore();
    bool upgraded = false;
    RetryDatabase(TDatabaseStep::Other, "start-up look for an upgrade",
                  [&](TGameStore& AStore) { upgraded = AStore.Upgrade(); });
    return upgraded;
}
