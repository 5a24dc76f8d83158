-- The Glimra game database (glimradb.db): answer words, accepted guesses, the word of each
-- date and every caller's score per date. makedb runs this script; it is safe to run again.

-- Answer words, one row per word; the word of a date is drawn from here.
CREATE TABLE IF NOT EXISTS tblWords (
    strWord TEXT NOT NULL
);

-- Words accepted as guesses (looked up without regard to case).
CREATE TABLE IF NOT EXISTS tblAllWords (
    strWord TEXT NOT NULL
);

-- The word of each date; dtDate is YYYY-MM-DD.
CREATE TABLE IF NOT EXISTS tblWordsByDate (
    dtDate TEXT NOT NULL,
    strWord TEXT NOT NULL
);

-- One row per caller (alias, compared exactly) and date played.
CREATE TABLE IF NOT EXISTS tblScores (
    strUserName TEXT NOT NULL,
    dtDate TEXT NOT NULL,
    intScore INTEGER NOT NULL DEFAULT 0
);

-- Boards of a day or a month select by date and rank by score.
CREATE INDEX IF NOT EXISTS idxScoresDateScore ON tblScores (dtDate, intScore);
-- A caller's own rows: played-day checks and score updates.
CREATE INDEX IF NOT EXISTS idxScoresUserDate ON tblScores (strUserName, dtDate);
-- All-time totals per caller are summed from this index alone, without visiting the rows.
CREATE INDEX IF NOT EXISTS idxScoresUserScore ON tblScores (strUserName, intScore);
CREATE INDEX IF NOT EXISTS idxWordsByDateDate ON tblWordsByDate (dtDate);
-- Guess checks: exact in the answers, without regard to case in the accepted words.
CREATE INDEX IF NOT EXISTS idxWordsWord ON tblWords (strWord);
CREATE INDEX IF NOT EXISTS idxAllWordsWord ON tblAllWords (strWord COLLATE NOCASE);

-- Per-caller totals kept in step with tblScores by every score change (and rebuilt from it by
-- makedb), so the all-time and monthly rankings read one row per caller, not every score.
CREATE TABLE IF NOT EXISTS tblTotals (
    strUserName TEXT NOT NULL PRIMARY KEY,
    intTotal INTEGER NOT NULL
);
CREATE INDEX IF NOT EXISTS idxTotalsRank ON tblTotals (intTotal DESC, strUserName);

-- strMonth is YYYY-MM; intDays counts the caller's dates in that month.
CREATE TABLE IF NOT EXISTS tblMonthTotals (
    strMonth TEXT NOT NULL,
    strUserName TEXT NOT NULL,
    intTotal INTEGER NOT NULL,
    intDays INTEGER NOT NULL,
    PRIMARY KEY (strMonth, strUserName)
);
CREATE INDEX IF NOT EXISTS idxMonthTotalsRank
    ON tblMonthTotals (strMonth, intTotal DESC, strUserName DESC);
