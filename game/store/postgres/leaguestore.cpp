// The league's back-end over libpq: every statement prepared once per connection, values bound as
// text with casts, rankings in a fixed order (score, then alias, then board).
#include "game/store/postgres/leaguestore.h"

#include "door/doorlog.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

const TPgStatement kWordOfDate{"word_of_date",
                               "SELECT strWord FROM tblWordsByDate WHERE dtDate = $1::date"};
// Each missing day of the month gets a word drawn on its own (the lateral draw runs per day); a
// day another node gave a word meanwhile keeps it.
const TPgStatement kAssignWords{
    "assign_words",
    "INSERT INTO tblWordsByDate (dtDate, strWord) "
    "SELECT d::date, w.strWord FROM generate_series($1::date, $2::date, interval '1 day') AS d "
    "CROSS JOIN LATERAL (SELECT strWord FROM tblWords ORDER BY strWord "
    "  OFFSET floor(random() * (SELECT count(*) FROM tblWords))::bigint "
    "    + 0 * extract(day FROM d)::bigint LIMIT 1) AS w "
    "WHERE NOT EXISTS (SELECT 1 FROM tblWordsByDate x WHERE x.dtDate = d::date) "
    "ON CONFLICT (dtDate) DO NOTHING RETURNING extract(day FROM dtDate)::integer"};
const TPgStatement kDrawWord{"draw_word",
                             "SELECT strWord FROM tblWords ORDER BY strWord "
                             "OFFSET floor(random() * (SELECT count(*) FROM tblWords))::bigint "
                             "LIMIT 1"};
// Both word lists, each word in lower case with how often it stands there in any case.
// Every word a guess may be, lower case, with how often it stands in the accepted words, or
// else in the answer words.
const TPgStatement kWordLists{
    "word_lists",
    "SELECT lower(strWord), count(*) FROM tblAllWords GROUP BY 1 UNION ALL "
    "SELECT lower(w.strWord), count(*) FROM tblWords w WHERE NOT EXISTS (SELECT 1 FROM "
    "tblAllWords a WHERE lower(a.strWord) = lower(w.strWord)) GROUP BY 1"};
const TPgStatement kHasScore{"has_score", "SELECT 1 FROM tblScores WHERE strBoard = $1::text "
                                          "AND strUserName = $2::text AND dtDate = $3::date"};
const TPgStatement kPlayedDays{
    "played_days",
    "SELECT extract(day FROM dtDate)::integer FROM tblScores WHERE strBoard = $1::text "
    "AND strUserName = $2::text AND dtDate >= $3::date "
    "AND dtDate < $3::date + interval '1 month'"};
// The entry is recorded as applied and, only when that is new, its score kept as the better of
// the two: an entry sent twice counts once, and a win is never replaced by the 0 of a game's
// start, in whatever order entries arrive.
const TPgStatement kApplyScore{
    "apply_score", "WITH applied AS (INSERT INTO tblSpoolApplied (strBoard, strEntry) "
                   "  VALUES ($1::text, $2::text) ON CONFLICT DO NOTHING RETURNING 1) "
                   "INSERT INTO tblScores AS s (strBoard, strUserName, dtDate, intScore) "
                   "SELECT $1::text, $3::text, $4::date, $5::integer FROM applied "
                   "ON CONFLICT (strBoard, strUserName, dtDate) "
                   "DO UPDATE SET intScore = GREATEST(s.intScore, excluded.intScore)"};
const TPgStatement kDayTop{"day_top",
                           "SELECT strUserName, intScore, strBoard FROM tblScores "
                           "WHERE dtDate = $1::date "
                           "ORDER BY intScore DESC, strUserName, strBoard LIMIT $2::integer"};
const TPgStatement kDayBest{
    "day_best",
    "SELECT b.strUserName, b.intScore, b.strBoard, (SELECT count(*) FROM tblScores s "
    "  WHERE s.dtDate = $1::date AND s.intScore = b.intScore) "
    "FROM (SELECT strUserName, intScore, strBoard FROM tblScores WHERE dtDate = $1::date "
    "  ORDER BY intScore DESC, strUserName, strBoard LIMIT 1) AS b"};
const TPgStatement kAllTime{"all_time",
                            "SELECT strUserName, intTotal, strBoard FROM tblTotals "
                            "ORDER BY intTotal DESC, strUserName, strBoard LIMIT $1::integer"};
const TPgStatement kMonth{"month_totals",
                          "SELECT strUserName, intTotal, intDays, strBoard FROM tblMonthTotals "
                          "WHERE strMonth = $1::text "
                          "ORDER BY intTotal DESC, strUserName, strBoard LIMIT $2::integer"};

std::string Key(std::int32_t AYear, std::int32_t AMonth, std::int32_t ADay) {
    char key[32];
    std::snprintf(key, sizeof key, "%04d-%02d-%02d", static_cast<int>(AYear),
                  static_cast<int>(AMonth), static_cast<int>(ADay));
    return key;
}

std::string Key(const TGameDate& ADate) {
    return Key(ADate.Year, ADate.Month, ADate.Day);
}

} // namespace

TLeagueStore::TLeagueStore(const TStoreSetting& ASetting)
    : FConn(ASetting.Connection), FBoard(ASetting.Board), FSpool(ScoreSpoolDir) {}

TPgConnection& TLeagueStore::Db() {
    // A new connection (the first, or one after the server went away) is checked before it is
    // used; the check's first statement opens it.
    if (!FConn.Connected()) {
        try {
            CheckBoard();
        } catch (...) {
            FConn.Disconnect();
            throw;
        }
    }
    return FConn;
}

TPgResult TLeagueStore::Run(const TPgStatement& AStatement,
                            const std::vector<std::string>& AParams) {
    return Db().Run(AStatement, AParams);
}

// The league's tables are the administrator's to make; the door's role must be this board's.
void TLeagueStore::CheckBoard() {
    const TPgResult schema = FConn.RunPlain(
        "the look for the league's tables",
        "SELECT to_regclass('tblboards') IS NOT NULL AND to_regclass('tblwordsbydate') IS NOT NULL"
        " AND to_regclass('tblscores') IS NOT NULL AND to_regclass('tblmonthtotals') IS NOT NULL"
        " AND to_regclass('tblspoolapplied') IS NOT NULL");
    if (schema.Text(0, 0) != "t")
        throw GameDatabaseError(TDatabaseFault::Missing,
                                "The league database " + Name() +
                                    " is not set up: its administrator runs makedb --league ... "
                                    "--add with the league's connection string.");
    const TPgResult board = FConn.RunPlain(
        "the look for this board",
        "SELECT (SELECT strBoard FROM tblBoards WHERE strRole = current_user), current_user");
    const std::string role = board.Text(0, 1);
    if (board.IsNull(0, 0))
        throw GameDatabaseError(TDatabaseFault::Other,
                                "The league database " + Name() + ": the role \"" + role +
                                    "\" of line 4 of bbsglimra.cfg is no board of the league.");
    if (board.Text(0, 0) != FBoard)
        throw GameDatabaseError(TDatabaseFault::Other,
                                "The league database " + Name() + ": the role \"" + role +
                                    "\" of line 4 of bbsglimra.cfg is board " + board.Text(0, 0) +
                                    ", not " + FBoard + " of line 5.");
}

bool TLeagueStore::Upgrade() {
    Db();
    return false;
}

void TLeagueStore::CheckWritable() {
    std::string why;
    if (!FSpool.Ready(why))
        throw GameDatabaseError(TDatabaseFault::NotWritable,
                                "The league's score spool cannot be used: " + why + ".");
    const TPgResult rights =
        Db().RunPlain("the look at this board's rights",
                      "SELECT has_table_privilege('tblscores', 'INSERT') "
                      "AND has_column_privilege('tblscores', 'intscore', 'UPDATE') "
                      "AND has_table_privilege('tblspoolapplied', 'INSERT')");
    if (rights.Text(0, 0) != "t")
        throw GameDatabaseError(TDatabaseFault::NotWritable,
                                "The league database " + Name() +
                                    ": this board's role may not write its scores.");
}

void TLeagueStore::Apply(const TSpoolEntry& AEntry) {
    Run(kApplyScore,
        {AEntry.Board, AEntry.Id, AEntry.UserName, AEntry.Date, std::to_string(AEntry.Score)});
}

// Sends what earlier doors of this board kept; a server that is away stops it (the entries stay),
// an entry the server refuses is set aside and logged, so that it cannot block every start-up.
void TLeagueStore::SendKept() {
    Db();
    for (const std::string& path : FSpool.Waiting(FBoard)) {
        const auto entry = FSpool.Read(path);
        if (!entry) {
            FSpool.SetAside(path);
            DoorLog("league score spool: " + path + " cannot be read; set aside");
            continue;
        }
        try {
            Apply(*entry);
        } catch (const GameDatabaseError& error) {
            if (error.Transient()) throw;
            FSpool.SetAside(path);
            DoorLog("league score spool: " + path + " refused, set aside: " + error.what());
            continue;
        }
        SpoolStep("sent");
        FSpool.Sent(path, entry->Id);
        DoorLog("league score spool: score " + std::to_string(entry->Score) + " of " + entry->Date +
                " for " + entry->UserName + " sent");
    }
}

std::optional<std::string> TLeagueStore::WordOfDate(const TGameDate& ADate) {
    const TPgResult rows = Run(kWordOfDate, {Key(ADate)});
    if (rows.Rows() == 0) return std::nullopt;
    return rows.Text(0, 0);
}

std::vector<bool> TLeagueStore::AssignMonthWords(std::int32_t AYear, std::int32_t AMonth,
                                                 std::int32_t ADays) {
    std::vector<bool> added(static_cast<std::size_t>(std::max(ADays, 0)), false);
    if (ADays <= 0) return added;
    const TPgResult rows = Run(kAssignWords, {Key(AYear, AMonth, 1), Key(AYear, AMonth, ADays)});
    for (int row = 0; row < rows.Rows(); ++row) {
        const auto day = rows.Int(row, 0);
        if (day >= 1 && day <= ADays) added[static_cast<std::size_t>(day - 1)] = true;
    }
    return added;
}

std::optional<std::string> TLeagueStore::DrawWord() {
    const TPgResult rows = Run(kDrawWord, {});
    if (rows.Rows() == 0) return std::nullopt;
    return rows.Text(0, 0);
}

// The lists are read once, at the first guess: a game then needs the server only for its
// score, which the spool keeps when the server is away.
std::int32_t TLeagueStore::WordMatches(const std::string& AGuess) {
    if (!FWordLists) {
        const TPgResult rows = Run(kWordLists, {});
        std::unordered_map<std::string, std::int32_t> words;
        for (int row = 0; row < rows.Rows(); ++row)
            words[rows.Text(row, 0)] = static_cast<std::int32_t>(rows.Int(row, 1));
        FWordLists = std::move(words);
    }
    std::string lower = AGuess;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto found = FWordLists->find(lower);
    return found == FWordLists->end() ? 0 : found->second;
}

std::string TLeagueStore::PlayerBoard(const TPlayer& APlayer) const {
    return APlayer.Board.empty() ? FBoard : APlayer.Board;
}

bool TLeagueStore::HasScore(const TPlayer& APlayer, const TGameDate& ADate) {
    return Run(kHasScore, {PlayerBoard(APlayer), APlayer.UserName, Key(ADate)}).Rows() > 0;
}

std::vector<bool> TLeagueStore::PlayedDays(const TPlayer& APlayer, std::int32_t AYear,
                                           std::int32_t AMonth) {
    std::vector<bool> played(31, false);
    const TPgResult rows =
        Run(kPlayedDays, {PlayerBoard(APlayer), APlayer.UserName, Key(AYear, AMonth, 1)});
    for (int row = 0; row < rows.Rows(); ++row) {
        const auto day = rows.Int(row, 0);
        if (day >= 1 && day <= 31) played[static_cast<std::size_t>(day - 1)] = true;
    }
    return played;
}

// Written ahead into the spool, then sent, then removed: a server that is away leaves the entry
// for the next start-up (KeepsUnsentScores); one that refuses it takes it out again.
void TLeagueStore::WriteScore(const TPlayer& APlayer, const TGameDate& ADate, std::int32_t AScore) {
    TSpoolEntry entry{"", FBoard, APlayer.UserName, Key(ADate), AScore};
    const std::string path = FSpool.Keep(entry);
    try {
        Apply(entry);
    } catch (const GameDatabaseError& error) {
        if (!error.Transient()) FSpool.Sent(path, entry.Id);
        throw;
    }
    SpoolStep("sent");
    FSpool.Sent(path, entry.Id);
}

std::vector<TDayScore> TLeagueStore::DayTopScores(const TGameDate& ADate, int ALimit) {
    std::vector<TDayScore> scores;
    const TPgResult rows = Run(kDayTop, {Key(ADate), std::to_string(std::max(ALimit, 0))});
    for (int row = 0; row < rows.Rows(); ++row)
        scores.push_back({rows.Text(row, 0), rows.Int(row, 1), rows.Text(row, 2)});
    return scores;
}

TDayBest TLeagueStore::DayBest(const TGameDate& ADate) {
    const TPgResult rows = Run(kDayBest, {Key(ADate)});
    if (rows.Rows() == 0) return {};
    return {true, rows.Text(0, 0), rows.Int(0, 1), rows.Int(0, 3), rows.Text(0, 2)};
}

std::vector<TScoreTotal> TLeagueStore::TopAllTimeTotals(int ALimit) {
    std::vector<TScoreTotal> totals;
    const TPgResult rows = Run(kAllTime, {std::to_string(std::max(ALimit, 0))});
    for (int row = 0; row < rows.Rows(); ++row)
        totals.push_back({rows.Text(row, 0), rows.Int(row, 1), 0, rows.Text(row, 2)});
    return totals;
}

std::vector<TScoreTotal> TLeagueStore::TopMonthTotals(std::int32_t AYear, std::int32_t AMonth,
                                                      int ALimit) {
    std::vector<TScoreTotal> totals;
    const std::string month = Key(AYear, AMonth, 1).substr(0, 7);
    const TPgResult rows = Run(kMonth, {month, std::to_string(std::max(ALimit, 0))});
    for (int row = 0; row < rows.Rows(); ++row)
        totals.push_back(
            {rows.Text(row, 0), rows.Int(row, 1), rows.Int(row, 2), rows.Text(row, 3)});
    return totals;
}

std::unique_ptr<TGameStore> MakeLeagueStore(const TStoreSetting& ASetting) {
    return std::make_unique<TLeagueStore>(ASetting);
}
