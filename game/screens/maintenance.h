// The start-up maintenance screen that gives the current month its words.
#pragma once

// Start-up maintenance: fixes today's date, writes "Database Maintenance", gives every day of
// the current month without a word one ("+") and leaves the others alone ("."), then clears
// the screen.
void DBCheck();
