// Hostile callers of the real bbsglimra: a megabyte of random bytes at the menu and in a guess
// field, a caller who sends nothing until the idle limit, and aliases that carry escape
// sequences, quotes, byte 0xFF, pipe codes or sixty characters into every screen and bulletin.
#include "tests/e2e/glimra_node.h"

#include <algorithm>
#include <random>

namespace {

using namespace glimra_e2e;

constexpr std::size_t kFlood = 1 << 20;

// ACount random bytes from a fixed seed, none of them in AExcluded.
std::string RandomBytes(std::size_t ACount, std::uint32_t ASeed, const std::string& AExcluded) {
    std::mt19937 random(ASeed);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string bytes;
    bytes.reserve(ACount);
    while (bytes.size() < ACount) {
        const char b = static_cast<char>(byte(random));
        if (AExcluded.find(b) == std::string::npos) bytes += b;
    }
    return bytes;
}

// The door ended with code 0 and gave the connection back to the BBS in working order.
void ExpectHandedBack(TNode& ANode) {
    EXPECT_EQ(ANode.Bbs->WaitExit(10s), 0) << ANode.Bbs->DoorLog();
    ANode.Bbs->BbsSend("Back at the BBS");
    EXPECT_TRUE(ANode.Bbs->CallerWaitFor("Back at the BBS", 2s));
}

TEST(HostileCaller, MegabyteOfRandomBytesAtTheMenuAndInAGuessField) {
    TNode menu("Flooder", 1);
    InstallGlimra(menu.Bbs->WorkDir(), "0\n300\n\n");
    menu.Start();
    TNode field("Flooder", 2);
    InstallGlimra(field.Bbs->WorkDir(), "0\n300\n\n");
    field.Start();

    // At the menu: every byte but the menu's own keys, so that the door reads all of it. An
    // unfinished telnet or escape sequence at the end is closed before the Q.
    ASSERT_TRUE(menu.SeeMenu()) << menu.Screen().Dump();
    std::size_t before;
    do { // until the door has sent the whole menu
        before = menu.Bbs->CallerReceived().size();
        menu.Bbs->CallerPump(300ms);
    } while (menu.Bbs->CallerReceived().size() != before);
    ASSERT_EQ(menu.Bbs->CallerFlood(RandomBytes(kFlood, 1, "1234567aAqQ"), 60s), kFlood);
    EXPECT_EQ(menu.Bbs->CallerReceived().substr(before), "")
        << "keys outside the menu draw nothing";

    // In a guess field: every byte. Enter tries the letters typed so far, other keys go on to
    // whichever screen the door shows by then, Q included.
    ASSERT_TRUE(field.SeeMenu()) << field.Screen().Dump();
    field.Send("1");
    ASSERT_TRUE(field.See(30, 16, "Enter Guess 1: ")) << field.Screen().Dump();
    const std::size_t sent = field.Bbs->CallerFlood(RandomBytes(kFlood, 2, ""), 60s);
    if (sent == kFlood) {
        // The door reads all of it (unless a Q on the menu ends it first), then the caller
        // hangs up.
        EXPECT_TRUE(field.Bbs->CallerWaitDelivered(60s) || !field.Bbs->Running());
        field.Bbs->CallerHangUp();
    }
    EXPECT_EQ(field.Bbs->WaitExit(10s), 0) << field.Bbs->DoorLog();

    menu.Send("\xff\xf0xxQ");
    ExpectHandedBack(menu);
    EXPECT_EQ(ForeignOutput(menu.Bbs->CallerReceived()), "");
    EXPECT_EQ(ForeignOutput(field.Bbs->CallerReceived()), "");
    for (TNode* node : {&menu, &field}) {
        EXPECT_EQ(IntegrityCheck(node->Bbs->WorkDir()), "ok");
        EXPECT_EQ(DatesWithSeveralWords(node->Bbs->WorkDir()), std::vector<std::string>{});
    }
    EXPECT_TRUE(ScoreRows(menu.Bbs->WorkDir()).empty());
    const std::vector<TScoreRow> rows = ScoreRows(field.Bbs->WorkDir());
    ASSERT_FALSE(rows.empty());
    for (const TScoreRow& row : rows) EXPECT_EQ(row.Name, "Flooder");
    EXPECT_EQ(rows[0].Date, "2026-03-15") << "today is stored, once";
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(),
                            [](const TScoreRow& ARow) { return ARow.Date == kToday; }),
              1);
}

TEST(HostileCaller, SilentCallerIsTimedOutAtTheMenuAndInAGuessField) {
    TNode menu("Sleeper", 1);
    InstallGlimra(menu.Bbs->WorkDir(), "0\n2\n\n");
    menu.Start();
    TNode field("Sleeper", 2);
    InstallGlimra(field.Bbs->WorkDir(), "0\n2\n\n");
    field.Start();
    ASSERT_TRUE(field.SeeMenu()) << field.Screen().Dump();
    field.Send("1");
    ASSERT_TRUE(field.See(30, 16, "Enter Guess 1: ")) << field.Screen().Dump();

    for (TNode* node : {&menu, &field}) {
        ASSERT_TRUE(node->See(Shows("Idle Time Limit Exceeded.  Returning To BBS..."), 10s))
            << node->Screen().Dump();
        ExpectHandedBack(*node);
        EXPECT_FALSE(node->Bbs->CallerSawEnd()) << "the BBS keeps the caller";
        EXPECT_EQ(ForeignOutput(node->Bbs->CallerReceived()), "");
        EXPECT_EQ(IntegrityCheck(node->Bbs->WorkDir()), "ok");
    }
    EXPECT_TRUE(ScoreRows(menu.Bbs->WorkDir()).empty());
    const std::vector<TScoreRow> rows = ScoreRows(field.Bbs->WorkDir());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].Score, 0) << "the game counts as played and lost";
}

// Occurrences of ANeedle in AText.
std::size_t Count(const std::string& AText, const std::string& ANeedle) {
    std::size_t count = 0;
    for (auto at = AText.find(ANeedle); at != std::string::npos; at = AText.find(ANeedle, at + 1))
        ++count;
    return count;
}

TEST(HostileCaller, AliasesNeverReachAnotherCallersScreenOrTheBulletinsAsCodes) {
    TTempDir dir;
    InstallGlimra(dir.Path(), "0\n300\n\n");
    const std::string escName = "Esc\x1b]2;pwn\x07\x1b[2J"; // sets a window title, clears
    const std::string quoteName = "Quote\"d";
    const std::string ffName = "Byte\xff"
                               "FF";
    const std::string pipeName = "|1FPipe|0C";
    const std::string longName = std::string(55, 'L') + "Tail!";
    const std::vector<std::string> aliases = {escName, pipeName, quoteName, ffName, longName};
    {
        // Last month too, for the last month's board, its winner and the recent champions.
        SqlConnection conn((dir.Path() / "glimradb.db").string());
        for (std::size_t k = 0; k < aliases.size(); ++k)
            SqlStatement(conn, "INSERT INTO tblScores (strUserName, dtDate, intScore) "
                               "VALUES (?, ?, ?)")
                .Bind(1, aliases[k])
                .Bind(2, "2026-02-1" + std::to_string(k))
                .Bind(3, std::int64_t{320} >> k)
                .Execute();
    }

    // Each alias plays today through its drop file: the k-th finds the word on guess k + 1.
    std::vector<TNode> players;
    for (std::size_t k = 0; k < aliases.size(); ++k) {
        players.emplace_back(aliases[k], static_cast<int>(k) + 1);
        players.back().Start(dir.Path());
    }
    for (std::size_t k = 0; k < players.size(); ++k) {
        TNode& player = players[k];
        ASSERT_TRUE(player.SeeMenu()) << k << "\n" << player.Screen().Dump();
        player.Send("1");
        ASSERT_TRUE(player.See(30, 16, "Enter Guess 1: ")) << k;
        std::string guesses;
        for (std::size_t g = 0; g < k; ++g) guesses += "crane\r";
        player.Send(guesses + "cider\r");
        ASSERT_TRUE(player.See(2, 24, "The Word Was: CIDER")) << k << "\n"
                                                              << player.Screen().Dump();
        player.Send(" ");
        ASSERT_TRUE(player.See(30, 24, "Press Any Key to Continue")) << k;
        player.Send(" ");
        ASSERT_TRUE(player.SeeMenu()) << k;
        player.Send("q");
        EXPECT_EQ(player.Bbs->WaitExit(10s), 0) << k;
    }
    // Stored exactly as the drop files gave them.
    std::vector<std::string> stored;
    for (const TScoreRow& row : ScoreRows(dir.Path()))
        if (row.Date == kToday) stored.push_back(row.Name);
    std::vector<std::string> sorted = aliases;
    std::sort(sorted.begin(), sorted.end());
    std::sort(stored.begin(), stored.end());
    EXPECT_EQ(stored, sorted);

    // Another caller looks at the menu, the game screen and every board.
    TNode watcher("Watcher", 9);
    watcher.Start(dir.Path());
    ASSERT_TRUE(watcher.SeeMenu()) << watcher.Screen().Dump();
    const TVTermScreen& screen = watcher.Screen();
    // The leader panel: names cut to 14, each score still in its column and colour.
    EXPECT_EQ(Text(screen, 58, 20, 18), "Esc?]2;pwn??[2 640") << screen.Dump();
    EXPECT_EQ(screen.Fg(73, 20), 14);
    EXPECT_EQ(Text(screen, 58, 21, 18), "\xB3"
                                        "1FPipe\xB3"
                                        "0C     320");
    EXPECT_EQ(screen.Fg(73, 21), 14);
    EXPECT_EQ(Text(screen, 58, 17, 18), "Esc?]2;pwn??[2 320") << "last month's winner";

    // The game screen lists the month's leaders.
    watcher.Send("1");
    ASSERT_TRUE(watcher.See(30, 16, "Enter Guess 1: ")) << screen.Dump();
    EXPECT_EQ(Text(screen, 51, 11, 22), "Esc?]2;pwn??[2     320");
    EXPECT_EQ(Text(screen, 51, 12, 22), "\xB3"
                                        "1FPipe\xB3"
                                        "0C         160");
    EXPECT_EQ(screen.Fg(70, 12), 3);
    watcher.Send("crane\rcrane\rcrane\rcrane\rcrane\rcrane\r ");
    ASSERT_TRUE(watcher.See(30, 24, "Press Any Key to Continue")) << screen.Dump();
    watcher.Send(" ");
    ASSERT_TRUE(watcher.SeeMenu());
    EXPECT_EQ(Text(screen, 58, 11, 18), "Esc?]2;pwn??[2 320") << "today's leader, once played";
    watcher.Send("2"); // today's scores, shown now that the watcher has played
    ASSERT_TRUE(watcher.See(30, 24, "Press Any Key to Continue")) << screen.Dump();
    EXPECT_EQ(Text(screen, 11, 13, 25), "Esc?]2;pwn??[2J     320  ") << screen.Dump();
    EXPECT_EQ(Text(screen, 11, 14, 25), "\xB3"
                                        "1FPipe\xB3"
                                        "0C          160  ");
    EXPECT_EQ(Text(screen, 11, 15, 25), "Quote\"d             80   ");
    EXPECT_EQ(Text(screen, 11, 16, 25), "Byte\xff"
                                        "FF             40   ");
    EXPECT_EQ(Text(screen, 11, 17, 25), "LLLLLLLLLLLLLLLLLLL 20   ");
    watcher.Send(" ");
    ASSERT_TRUE(watcher.SeeMenu());
    for (const std::string keys : {"3", "415\r", "5", "6", "7"}) {
        watcher.Send(keys);
        ASSERT_TRUE(watcher.See([](const TVTermScreen& AScreen) {
            const std::string dump = AScreen.Dump();
            return dump.find("Version 2024.10.2") == std::string::npos &&
                   dump.find("Press Any Key to Continue") != std::string::npos;
        })) << keys
            << "\n"
            << screen.Dump();
        watcher.Send(" ");
        ASSERT_TRUE(watcher.SeeMenu()) << keys;
    }
    watcher.Send("q");
    ExpectHandedBack(watcher);

    // Whatever the names held, only the door's own codes reached the watcher; and every time a
    // name was shown, it was shown as text.
    const std::string& seen = watcher.Bbs->CallerReceived();
    EXPECT_EQ(ForeignOutput(seen), "");
    EXPECT_GE(Count(seen, "Esc?]2;pwn??[2"), 8u);
    EXPECT_EQ(Count(seen, "Esc"), Count(seen, "Esc?]2;pwn??[2"));
    EXPECT_GE(Count(seen, "Pipe"), 8u);
    EXPECT_EQ(Count(seen, "Pipe"), Count(seen, "\xB3"
                                               "1FPipe\xB3"
                                               "0C"));
    EXPECT_EQ(Count(seen, "Byte\xff"
                          "FF"),
              0u)
        << "byte 255 goes out doubled, as telnet data";
    EXPECT_GE(Count(seen, "Byte\xff\xff"
                          "FF"),
              4u);

    // The bulletins show the names as text too.
    for (const char* file : {"bulletin.ans", "bulletin2.ans"}) {
        const std::string bulletin = ReadFile(dir.Path() / file);
        EXPECT_EQ(ForeignOutput(bulletin, false), "") << file;
        EXPECT_GE(Count(bulletin, "Esc?]2;pwn??[2J"), 3u) << file;
        EXPECT_EQ(Count(bulletin, "Esc"), Count(bulletin, "Esc?]2;pwn??[2J")) << file;
        EXPECT_EQ(Count(bulletin, "|1F"), 0u) << file;
        EXPECT_GE(Count(bulletin, "\xB3"
                                  "1FPipe\xB3"
                                  "0C"),
                  3u)
            << file;
        EXPECT_EQ(Count(bulletin, std::string(19, 'L') + " 5."), 2u) << file << ": cut to 19";
    }
}

} // namespace
