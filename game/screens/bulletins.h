// The two ANSI bulletin files the game leaves for the BBS at every quit: "bulletin.ans" (banner,
// title, date, invitation, top fives) and "bulletin2.ans" (the header art instead of the title).
#pragma once

#include <string>

// The files, by name relative to the working directory.
extern const std::string BULLETIN_FILE;
extern const std::string BULLETIN2_FILE;
extern const std::string BULLETIN_ART_FILE;

// Tells the caller the bulletins are being written, fixes today's date, writes "bulletin.ans",
// then WriteBulletin2, and leaves the colours at 7 on 0. Each file is replaced whole (written
// beside it, then renamed over it), so a reader or a second node quitting at the same moment
// sees the old file or the new one, never a part. A file that cannot be written keeps its old
// contents and nothing is shown; a database failure is raised as GameDatabaseError.
void WriteBulletin();
// Writes "bulletin2.ans" for the game date from the header art "del_glimra.ans". Without the
// art file the earlier "bulletin2.ans" is left as it was.
void WriteBulletin2();
