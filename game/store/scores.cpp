// Score records and played days of the session's caller, and the best scores of a day.
#include "game/store/scores.h"

#include "game/store/database.h"
#include "game/store/host.h"

#include <charconv>
#include <stdexcept>

TDaysArray DaysPlayed;

namespace {

std::int32_t ParseDatePart(const std::string& AText) {
    std::int32_t value = 0;
    const char* end = AText.data() + AText.size();
    const auto [at, error] = std::from_chars(AText.data(), end, value);
    if (error != std::errc{} || at != end || AText[0] == '-') // digits alone, in range
        throw std::invalid_argument("date part \"" + AText + "\" is not a whole number");
    return value;
}

TGameDate ParseDate(const std::string& AMonth, const std::string& ADay, const std::string& AYear) {
    return {ParseDatePart(AYear), ParseDatePart(AMonth), ParseDatePart(ADay)};
}

std::string Key(const TGameDate& ADate) {
    return DateKey(ADate.Year, ADate.Month, ADate.Day);
}

} // namespace

TPlayer Caller() {
    return {StoreHost().CallerAlias(), GameStore().Board()};
}

bool IsCaller(const std::string& AUserName, const std::string& ABoard) {
    const TPlayer caller = Caller();
    return AUserName == caller.UserName && ABoard == caller.Board;
}

bool DayPlayedCheck(const TGameDate& ADate) {
    bool played = false;
    RetryDatabase(TDatabaseStep::Other, "played-day check for " + Key(ADate),
                  [&](TGameStore& AStore) { played = AStore.HasScore(Caller(), ADate); });
    return played;
}

bool PlayedDay(std::int32_t ADay) {
    return DayPlayedCheck(GameDay(ADay));
}

void SetScore(std::int32_t AScore, const TGameDate& ADate) {
    RetryDatabase(TDatabaseStep::Score, "score " + std::to_string(AScore) + " for " + Key(ADate),
                  [&](TGameStore& AStore) { AStore.WriteScore(Caller(), ADate, AScore); });
}

bool DayPlayedCheck(const std::string& AMonth, const std::string& ADay, const std::string& AYear) {
    return DayPlayedCheck(ParseDate(AMonth, ADay, AYear));
}

void SetScore(std::int32_t AScore, const std::string& AMonth, const std::string& ADay,
              const std::string& AYear) {
    SetScore(AScore, ParseDate(AMonth, ADay, AYear));
}

void TrackPlayerDays(std::int32_t AMonth, std::int32_t AYear, TDaysArray& ADaysPlayed) {
    std::vector<bool> played;
    RetryDatabase(TDatabaseStep::Other, "played days of " + DateKey(AYear, AMonth, 1).substr(0, 7),
                  [&](TGameStore& AStore) { played = AStore.PlayedDays(Caller(), AYear, AMonth); });
    for (std::int32_t d = 1; d <= 31; ++d)
        ADaysPlayed[d] =
            static_cast<std::size_t>(d) <= played.size() && played[static_cast<std::size_t>(d - 1)]
                ? 1
                : 0;
}

std::vector<TDayScore> DayTopScores(const TGameDate& ADate, int ALimit) {
    std::vector<TDayScore> rows;
    RetryDatabase(TDatabaseStep::Other, "best scores of " + Key(ADate),
                  [&](TGameStore& AStore) { rows = AStore.DayTopScores(ADate, ALimit); });
    return rows;
}

TDayBest ReadDayBest(const TGameDate& ADate) {
    TDayBest best;
    RetryDatabase(TDatabaseStep::Other, "best score of " + Key(ADate),
                  [&](TGameStore& AStore) { best = AStore.DayBest(ADate); });
    return best;
}
