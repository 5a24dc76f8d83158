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
CREATE INDEX IF NOT EXISTS idxWordsByDateDate ON tblWordsByDate (dtDate);
-- Guess checks: exact in the answers, without regard to case in the accepted words.
CREATE INDEX IF NOT EXISTS idxWordsWord ON tblWords (strWord);
CREATE INDEX IF NOT EXISTS idxAllWordsWord ON tblAllWords (strWord COLLATE NOCASE);

-- Per-caller totals, all-time and per month, kept in step with tblScores by the triggers
-- below (whoever writes the scores) and rebuilt from it by makedb --add, so the all-time and
-- monthly rankings read one row per caller instead of every score.
CREATE TABLE IF NOT EXISTS tblTotals (
    strUserName TEXT NOT NULL PRIMARY KEY,
    intTotal INTEGER NOT NULL
);
CREATE INDEX IF NOT EXISTS idxTotalsRank ON tblTotals (intTotal DESC, strUserName);

-- strMonth is YYYY-MM; intDays counts the caller's distinct dates in that month.
CREATE TABLE IF NOT EXISTS tblMonthTotals (
    strMonth TEXT NOT NULL,
    strUserName TEXT NOT NULL,
    intTotal INTEGER NOT NULL,
    intDays INTEGER NOT NULL,
    PRIMARY KEY (strMonth, strUserName)
);
CREATE INDEX IF NOT EXISTS idxMonthTotalsRank
    ON tblMonthTotals (strMonth, intTotal DESC, strUserName DESC);

-- A score row counts into its caller's totals; a date counts once however many rows it has.
CREATE TRIGGER IF NOT EXISTS trgScoresInsert AFTER INSERT ON tblScores BEGIN
    INSERT INTO tblTotals (strUserName, intTotal) VALUES (NEW.strUserName, NEW.intScore)
        ON CONFLICT (strUserName) DO UPDATE SET intTotal = intTotal + excluded.intTotal;
    INSERT INTO tblMonthTotals (strMonth, strUserName, intTotal, intDays)
        VALUES (substr(NEW.dtDate, 1, length(NEW.dtDate) - 3), NEW.strUserName, NEW.intScore,
                NOT EXISTS (SELECT 1 FROM tblScores WHERE strUserName = NEW.strUserName
                            AND dtDate = NEW.dtDate AND rowid <> NEW.rowid))
        ON CONFLICT (strMonth, strUserName) DO UPDATE SET
            intTotal = intTotal + excluded.intTotal, intDays = intDays + excluded.intDays;
END;

-- A row that goes counts out; a caller or a month left without rows leaves the totals.
CREATE TRIGGER IF NOT EXISTS trgScoresDelete AFTER DELETE ON tblScores BEGIN
    UPDATE tblTotals SET intTotal = intTotal - OLD.intScore WHERE strUserName = OLD.strUserName;
    DELETE FROM tblTotals WHERE strUserName = OLD.strUserName
        AND NOT EXISTS (SELECT 1 FROM tblScores WHERE strUserName = OLD.strUserName);
    UPDATE tblMonthTotals SET intTotal = intTotal - OLD.intScore,
        intDays = intDays - NOT EXISTS (SELECT 1 FROM tblScores WHERE strUserName = OLD.strUserName
                                        AND dtDate = OLD.dtDate)
        WHERE strMonth = substr(OLD.dtDate, 1, length(OLD.dtDate) - 3)
        AND strUserName = OLD.strUserName;
    DELETE FROM tblMonthTotals WHERE strMonth = substr(OLD.dtDate, 1, length(OLD.dtDate) - 3)
        AND strUserName = OLD.strUserName AND intDays <= 0;
END;

-- A changed row counts out as it was and in as it is (SetScore changes only the score).
CREATE TRIGGER IF NOT EXISTS trgScoresUpdate AFTER UPDATE ON tblScores BEGIN
    UPDATE tblTotals SET intTotal = intTotal - OLD.intScore WHERE strUserName = OLD.strUserName;
    DELETE FROM tblTotals WHERE strUserName = OLD.strUserName
        AND NOT EXISTS (SELECT 1 FROM tblScores WHERE strUserName = OLD.strUserName);
    UPDATE tblMonthTotals SET intTotal = intTotal - OLD.intScore,
        intDays = intDays - NOT EXISTS (SELECT 1 FROM tblScores WHERE strUserName = OLD.strUserName
                                        AND dtDate = OLD.dtDate AND rowid <> OLD.rowid)
        WHERE strMonth = substr(OLD.dtDate, 1, length(OLD.dtDate) - 3)
        AND strUserName = OLD.strUserName;
    DELETE FROM tblMonthTotals WHERE strMonth = substr(OLD.dtDate, 1, length(OLD.dtDate) - 3)
        AND strUserName = OLD.strUserName AND intDays <= 0;
    INSERT INTO tblTotals (strUserName, intTotal) VALUES (NEW.strUserName, NEW.intScore)
        ON CONFLICT (strUserName) DO UPDATE SET intTotal = intTotal + excluded.intTotal;
    INSERT INTO tblMonthTotals (strMonth, strUserName, intTotal, intDays)
        VALUES (substr(NEW.dtDate, 1, length(NEW.dtDate) - 3), NEW.strUserName, NEW.intScore,
                NOT EXISTS (SELECT 1 FROM tblScores WHERE strUserName = NEW.strUserName
                            AND dtDate = NEW.dtDate AND rowid <> NEW.rowid))
        ON CONFLICT (strMonth, strUserName) DO UPDATE SET
            intTotal = intTotal + excluded.intTotal, intDays = intDays + excluded.intDays;
END;
