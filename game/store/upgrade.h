// The start-up upgrade of a game database made by an earlier version: the indexes, the score
// totals tables and their triggers of data/schema.sql (built into the door) are added in one
// immediate transaction before the menu, and the totals are computed from the scores.
#pragma once

#include "game/store/sqldb.h"

#include <string>
#include <vector>

// The objects of the built-in schema (tables, indexes, triggers) that AConn's file lacks, each
// as its type and name ("index idxScoresDateScore"), in the schema's order.
std::vector<std::string> MissingSchemaObjects(SqlConnection& AConn);

// Start-up step before DBCheck: when GameDatabaseFile lacks any object of the schema, adds them
// all and computes the score totals afresh, in one BEGIN IMMEDIATE transaction, with a line on
// the local console. Nodes that start at once upgrade it once: each looks again once it holds
// the write lock. A lock (another node's upgrade, a backup) is waited for as RetryDatabase says,
// for as long as the caller may wait. The scores and words are not touched. A missing file is
// left to OpenGameDatabase to report. True when this process upgraded the file.
bool UpgradeGameDatabase();
