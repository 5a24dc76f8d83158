// Score totals per player, all-time and per month, read by the boards.
#include "game/store/totals.h"

#include "game/store/database.h"

std::vector<TScoreTotal> TopAllTimeTotals(int ALimit) {
    std::vector<TScoreTotal> totals;
    RetryDatabase(TDatabaseStep::Other, "all-time totals",
                  [&](TGameStore& AStore) { totals = AStore.TopAllTimeTotals(ALimit); });
    return totals;
}

std::vector<TScoreTotal> TopMonthTotals(std::int32_t AYear, std::int32_t AMonth, int ALimit) {
    std::vector<TScoreTotal> totals;
    RetryDatabase(
        TDatabaseStep::Other, "totals of " + DateKey(AYear, AMonth, 1).substr(0, 7),
        [&](TGameStore& AStore) { totals = AStore.TopMonthTotals(AYear, AMonth, ALimit); });
    return totals;
}
