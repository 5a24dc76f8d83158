-- The Glimra league database on PostgreSQL: the words, the word of each date, and the scores of
-- every board of the league, each board writing through its own login role. makedb --league runs
-- this script as the league's administrator, who owns every object; it is safe to run again.
-- Rights are the server's business: the grants and row-level security below let a board read
-- what the screens need and write only its own scores, and add the word of a date that has none.

-- The league's boards: the tag shown beside each player's alias, and the login role the board's
-- doors connect as. A board taken out of the league keeps its row (its scores stay ranked).
CREATE TABLE IF NOT EXISTS tblBoards (
    strBoard text PRIMARY KEY CHECK (strBoard ~ '^[A-Z0-9]{1,8}$'),
    strRole name NOT NULL UNIQUE
);

-- Answer words; the word of a date is drawn from here.
CREATE TABLE IF NOT EXISTS tblWords (
    strWord text PRIMARY KEY CHECK (strWord ~ '^[A-Za-z]{5}$')
);

-- Words accepted as guesses (looked up without regard to case).
CREATE TABLE IF NOT EXISTS tblAllWords (
    strWord text PRIMARY KEY
);

-- The word of each date, the same on every board: set once, by whichever node first needs it.
CREATE TABLE IF NOT EXISTS tblWordsByDate (
    dtDate date PRIMARY KEY,
    strWord text NOT NULL REFERENCES tblWords (strWord)
);

-- One row per player (board and alias, compared exactly) and date played.
CREATE TABLE IF NOT EXISTS tblScores (
    strBoard text NOT NULL REFERENCES tblBoards (strBoard),
    strUserName text NOT NULL,
    dtDate date NOT NULL,
    intScore integer NOT NULL DEFAULT 0,
    PRIMARY KEY (strBoard, strUserName, dtDate)
);

-- Boards of a day rank by score within the date.
CREATE INDEX IF NOT EXISTS idxScoresDateScore ON tblScores (dtDate, intScore DESC);
-- Guess checks without regard to case.
CREATE INDEX IF NOT EXISTS idxWordsLower ON tblWords (lower(strWord));
CREATE INDEX IF NOT EXISTS idxAllWordsLower ON tblAllWords (lower(strWord));

-- Per-player totals, all-time and per month (strMonth YYYY-MM; intDays the player's dates in it),
-- kept in step with tblScores by the trigger below, so that rankings read one row per player.
CREATE TABLE IF NOT EXISTS tblTotals (
    strBoard text NOT NULL,
    strUserName text NOT NULL,
    intTotal bigint NOT NULL,
    PRIMARY KEY (strBoard, strUserName)
);
CREATE INDEX IF NOT EXISTS idxTotalsRank ON tblTotals (intTotal DESC, strUserName, strBoard);

CREATE TABLE IF NOT EXISTS tblMonthTotals (
    strMonth text NOT NULL,
    strBoard text NOT NULL,
    strUserName text NOT NULL,
    intTotal bigint NOT NULL,
    intDays integer NOT NULL,
    PRIMARY KEY (strMonth, strBoard, strUserName)
);
CREATE INDEX IF NOT EXISTS idxMonthTotalsRank
    ON tblMonthTotals (strMonth, intTotal DESC, strUserName, strBoard);

-- Score entries a board's doors kept in their spool while the server was away, once sent: an
-- entry is applied in the same transaction that records it here, so it never counts twice.
CREATE TABLE IF NOT EXISTS tblSpoolApplied (
    strBoard text NOT NULL REFERENCES tblBoards (strBoard),
    strEntry text NOT NULL,
    dtApplied timestamptz NOT NULL DEFAULT now(),
    PRIMARY KEY (strBoard, strEntry)
);

-- The board of the role that runs the statement; NULL for any other role. The table is named
-- with its schema: a board's own temporary table called tblBoards comes first in its search path
-- and would let it pass as another board.
CREATE OR REPLACE FUNCTION fnMyBoard() RETURNS text
    LANGUAGE sql STABLE
    AS $$ SELECT strBoard FROM public.tblBoards WHERE strRole = current_user $$;

-- A score row counts into its player's totals; a row that goes counts out. Runs with the owner's
-- rights: boards cannot write the totals themselves.
CREATE OR REPLACE FUNCTION fnScoresTotals() RETURNS trigger
    LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp
    AS $$
BEGIN
    IF TG_OP IN ('UPDATE', 'DELETE') THEN
        UPDATE tblTotals SET intTotal = intTotal - OLD.intScore
            WHERE strBoard = OLD.strBoard AND strUserName = OLD.strUserName;
        DELETE FROM tblTotals WHERE strBoard = OLD.strBoard AND strUserName = OLD.strUserName
            AND NOT EXISTS (SELECT 1 FROM tblScores s WHERE s.strBoard = OLD.strBoard
                            AND s.strUserName = OLD.strUserName);
        UPDATE tblMonthTotals SET intTotal = intTotal - OLD.intScore, intDays = intDays - 1
            WHERE strMonth = to_char(OLD.dtDate, 'YYYY-MM') AND strBoard = OLD.strBoard
            AND strUserName = OLD.strUserName;
        DELETE FROM tblMonthTotals WHERE strMonth = to_char(OLD.dtDate, 'YYYY-MM')
            AND strBoard = OLD.strBoard AND strUserName = OLD.strUserName AND intDays <= 0;
    END IF;
    IF TG_OP IN ('UPDATE', 'INSERT') THEN
        INSERT INTO tblTotals AS t (strBoard, strUserName, intTotal)
            VALUES (NEW.strBoard, NEW.strUserName, NEW.intScore)
            ON CONFLICT (strBoard, strUserName) DO UPDATE SET intTotal = t.intTotal + excluded.intTotal;
        INSERT INTO tblMonthTotals AS m (strMonth, strBoard, strUserName, intTotal, intDays)
            VALUES (to_char(NEW.dtDate, 'YYYY-MM'), NEW.strBoard, NEW.strUserName, NEW.intScore, 1)
            ON CONFLICT (strMonth, strBoard, strUserName) DO UPDATE SET
                intTotal = m.intTotal + excluded.intTotal, intDays = m.intDays + 1;
    END IF;
    RETURN NULL;
END
$$;

DROP TRIGGER IF EXISTS trgScoresTotals ON tblScores;
CREATE TRIGGER trgScoresTotals AFTER INSERT OR UPDATE OR DELETE ON tblScores
    FOR EACH ROW EXECUTE FUNCTION fnScoresTotals();

-- Every board reads every score (the rankings are the league's); it adds and changes only rows
-- of its own board.
ALTER TABLE tblScores ENABLE ROW LEVEL SECURITY;
DROP POLICY IF EXISTS polScoresRead ON tblScores;
CREATE POLICY polScoresRead ON tblScores FOR SELECT USING (true);
DROP POLICY IF EXISTS polScoresAdd ON tblScores;
CREATE POLICY polScoresAdd ON tblScores FOR INSERT WITH CHECK (strBoard = fnMyBoard());
DROP POLICY IF EXISTS polScoresChange ON tblScores;
CREATE POLICY polScoresChange ON tblScores FOR UPDATE
    USING (strBoard = fnMyBoard()) WITH CHECK (strBoard = fnMyBoard());

ALTER TABLE tblSpoolApplied ENABLE ROW LEVEL SECURITY;
DROP POLICY IF EXISTS polSpoolOwn ON tblSpoolApplied;
CREATE POLICY polSpoolOwn ON tblSpoolApplied FOR ALL
    USING (strBoard = fnMyBoard()) WITH CHECK (strBoard = fnMyBoard());

-- What every board's role gets (makedb --add-board grants the role membership of glimra_board).
DO $$ BEGIN
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'glimra_board') THEN
        CREATE ROLE glimra_board NOLOGIN;
    END IF;
END $$;
REVOKE ALL ON tblBoards, tblWords, tblAllWords, tblWordsByDate, tblScores, tblTotals,
              tblMonthTotals, tblSpoolApplied FROM PUBLIC;
GRANT SELECT ON tblBoards, tblWords, tblAllWords, tblTotals, tblMonthTotals TO glimra_board;
GRANT SELECT, INSERT ON tblWordsByDate, tblSpoolApplied TO glimra_board;
GRANT SELECT, INSERT ON tblScores TO glimra_board;
GRANT UPDATE (intScore) ON tblScores TO glimra_board;
REVOKE ALL ON FUNCTION fnScoresTotals() FROM PUBLIC;
-- Nobody but the administrator makes objects here (the default from PostgreSQL 15 on).
REVOKE CREATE ON SCHEMA public FROM PUBLIC;
