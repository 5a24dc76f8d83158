// The leader summary: six reads of the store (the day's best scores and the ranked totals), and
// the panel the main menu paints from their results.
#include "game/screens/leaders.h"

#include "door/door.h"
#include "game/rules/gamedate.h"
#include "game/screens/dailyboards.h"
#include "game/screens/theme.h"
#include "game/store/database.h"
#include "game/store/totals.h"

#include <optional>

std::string StrDailyLeader;
std::int32_t IntDailyLeader = 0;
std::string StrMonthlyLeader;
std::int32_t IntMonthlyLeader = 0;
std::array<std::string, 5> ArrMonthlyLeaders;
std::array<std::int32_t, 5> ArrMonthlyScores{};
std::string StrLastMonthLeader;
std::int32_t IntLastMonthLeader = 0;
std::string StrAllTimeLeader;
std::int32_t IntAllTimeLeader = 0;
std::string StrAllTimeLeader2;
std::int32_t IntAllTimeLeader2 = 0;

namespace {

struct TStanding {
    std::string Name;
    std::int32_t Score = 0;
};

// The name as the panel shows it, tag and all; the panel makes its bytes safe when it draws.
std::string CutName(const std::string& AUserName, const std::string& ABoard) {
    return PlayerText(AUserName, ABoard, LEADER_NAME_LENGTH);
}

TStanding AsStanding(const TScoreTotal& ATotal) {
    return {CutName(ATotal.UserName, ATotal.Board), static_cast<std::int32_t>(ATotal.Total)};
}

// The highest total of a month, when anyone played in it.
std::optional<TStanding> MonthLeader(std::int32_t AYear, std::int32_t AMonth) {
    const auto best = TopMonthTotals(AYear, AMonth, 1);
    if (best.empty()) return std::nullopt;
    return AsStanding(best.front());
}

// Label in cyan at column 58 of ARow.
void PanelLabel(std::uint8_t ARow, const std::string& ALabel) {
    DoorGotoXY(58, ARow);
    DoorTextBackground(COLOUR_BLACK);
    DoorTextColour(COLOUR_CYAN);
    DoorWrite(ALabel);
}

// A name in yellow at column 58, and its score at column 73 when AShowScore is set. Stored names
// are shown safely; the panel's fixed texts pass unchanged.
void PanelValue(std::uint8_t ARow, const std::string& AName, std::int32_t AScore, bool AShowScore) {
    DoorGotoXY(58, ARow);
    DoorTextBackground(COLOUR_BLACK);
    DoorTextColour(COLOUR_YELLOW);
    DoorWrite(ShownName(AName, LEADER_NAME_LENGTH));
    if (!AShowScore) return;
    DoorGotoXY(73, ARow);
    DoorWrite(std::to_string(AScore));
}

// SetMonthlyAndDaily: one attempt, every value set afresh.
void ReadLeaders() {
    StrDailyLeader = StrMonthlyLeader = StrLastMonthLeader = NOBODY_NAME;
    StrAllTimeLeader = StrAllTimeLeader2 = NOBODY_NAME;
    IntMonthlyLeader = IntDailyLeader = IntLastMonthLeader = 0;

    if (const auto best = DayTopScores(GameDay(Day), 1); !best.empty()) {
        StrDailyLeader = CutName(best[0].UserName, best[0].Board);
        IntDailyLeader = static_cast<std::int32_t>(best[0].Score);
    }

    if (auto leader = MonthLeader(Year, Month)) {
        StrMonthlyLeader = leader->Name;
        IntMonthlyLeader = leader->Score;
    }

    {
        ArrMonthlyLeaders.fill("");
        ArrMonthlyScores.fill(0);
        const auto five = TopMonthTotals(Year, Month, 5);
        for (std::size_t k = 0; k < ArrMonthlyLeaders.size() && k < five.size(); ++k) {
            const TStanding entry = AsStanding(five[k]);
            ArrMonthlyLeaders[k] = entry.Name;
            ArrMonthlyScores[k] = entry.Score;
        }
    }

    std::int32_t lastMonth = Month, lastYear = Year;
    StepMonthBack(lastMonth, lastYear);
    if (auto leader = MonthLeader(lastYear, lastMonth)) {
        StrLastMonthLeader = leader->Name;
        IntLastMonthLeader = leader->Score;
    }

    {
        const auto best = TopAllTimeTotals(2);
        IntAllTimeLeader = IntAllTimeLeader2 = 0;
        if (!best.empty()) {
            const TStanding first = AsStanding(best[0]);
            StrAllTimeLeader = first.Name;
            IntAllTimeLeader = first.Score;
        }
        if (best.size() > 1) {
            const TStanding second = AsStanding(best[1]);
            StrAllTimeLeader2 = second.Name;
            IntAllTimeLeader2 = second.Score;
        }
    }

    // Also covers a stored empty user name; the other standings keep theirs as stored.
    if (StrDailyLeader.empty()) StrDailyLeader = NOBODY_NAME;
    if (StrMonthlyLeader.empty()) StrMonthlyLeader = NOBODY_NAME;
}

} // namespace

// The figures of the game screen and the menu: waited for on a busy database like the game's
// other steps.
void SetMonthlyAndDaily() {
    RetryDatabase(TDatabaseStep::Other, "leader figures", ReadLeaders);
}

void DrawLeaderPanel(bool APlayedToday) {
    const char* notPlayed = HIDDEN_NAME;
    PanelLabel(10, "Daily Leader");
    if (APlayedToday)
        PanelValue(11, StrDailyLeader, IntDailyLeader, IntDailyLeader != 0);
    else
        PanelValue(11, notPlayed, 0, false);

    PanelLabel(13, "Monthly Leader");
    if (Day == 1 && !APlayedToday)
        PanelValue(14, notPlayed, 0, false);
    else
        PanelValue(14, StrMonthlyLeader, IntMonthlyLeader, true);

    PanelLabel(16, "Last Month's Winner");
    PanelValue(17, StrLastMonthLeader, IntLastMonthLeader, true);

    PanelLabel(19, "All-Time Leaders");
    PanelValue(20, StrAllTimeLeader, IntAllTimeLeader, true);
    PanelValue(21, StrAllTimeLeader2, IntAllTimeLeader2, true);
}
