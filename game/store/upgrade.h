// The start-up upgrade: the store brings a database made by an earlier version up to this one
// before the menu.
#pragma once

// Start-up step before DBCheck: the store's Upgrade (on SQLite the indexes, totals tables and
// triggers of data/schema.sql that the file lacks, added in one immediate transaction with a
// line on the local console, the totals computed afresh). Nodes that start at once upgrade once.
// A lock (another node's upgrade, a backup) is waited for as RetryDatabase says. A missing file
// is left to the first read to report. True when this process upgraded the database.
bool UpgradeGameDatabase();
