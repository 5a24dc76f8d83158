// Hostile callers of the real bbsglimra: a megabyte of random bytes at the menu and in a guess
// field, callers silent until the idle limit, and aliases that carry escape sequences, quotes,
// byte 0xFF, pipe codes or sixty characters into every screen and bulletin.
#include "tests/e2e/glimra.h"

#include <csignal>
#include <random>

namespace {

std::size_t Count(const std::string& AText, const std::string& APart) {
    std::size_t n = 0;
    for (auto at = AText.find(APart); at != std::string::npos; at = AText.find(APart, at + 1)) ++n;
    return n;
}

TEST(Hostile, FloodsAndSilentCallersAtTheMenuAndInAGuessField) {
    TBbs menu, field, idleMenu, idleField;
    for (TBbs* bbs : {&menu, &field, &idleMenu, &idleField}) {
        InstallGlimra(bbs->Dir(),
                      bbs == &idleMenu || bbs == &idleField ? "0\n2\n\n" : "0\n300\n\n");
        bbs->Start(Glimra(*bbs, "Flooder"));
        ASSERT_TRUE(Menu(*bbs)) << bbs->Screen().Dump();
    }
    for (TBbs* bbs : {&field, &idleField}) bbs->Send("1");
    ASSERT_TRUE(field.See(30, 16, "Enter Guess 1: "));
    // Silent callers: the idle limit ends the door; a SIGTERM in its closing pause, at once.
    for (TBbs* bbs : {&idleMenu, &idleField}) {
        ASSERT_TRUE(bbs->See("Idle Time Limit Exceeded.  Returning To BBS..."))
            << bbs->Screen().Dump();
        bbs->Signal(SIGTERM);
        EXPECT_TRUE(bbs->HandedBack());
    }
    std::mt19937 random(1);
    std::string bytes(1 << 20, '\0'), menuBytes;
    for (char& b : bytes) b = static_cast<char>(random());
    for (char b : bytes)
        if (std::string("1234567aAqQ").find(b) == std::string::npos) menuBytes += b;
    // At the menu every byte but the menu's keys: read to the end, drawing nothing; an
    // unfinished telnet or escape sequence is closed before the key that follows.
    menu.Settle();
    const std::size_t before = menu.Received().size();
    ASSERT_EQ(menu.Flood(menuBytes + "\xff\xf0xx2"), menuBytes.size() + 5);
    ASSERT_TRUE(Board(menu));
    EXPECT_EQ(menu.Received().find("\x1b[2J", before), before)
        << "keys outside the menu draw nothing";
    menu.Send(" q");
    EXPECT_TRUE(menu.HandedBack());
    // In a guess field every byte: Enter tries the letters so far, other keys go on to whichever
    // screen is shown by then. Then the caller hangs up.
    field.Flood(bytes);
    field.HangUp();
    EXPECT_EQ(field.WaitExit(), 0) << field.Log();

    for (TBbs* bbs : {&menu, &field, &idleMenu, &idleField}) {
        EXPECT_EQ(Foreign(bbs->Received()), "");
        ExpectSound(bbs->Dir());
    }
    EXPECT_EQ(Query(menu.Dir(), "SELECT * FROM tblScores").size() +
                  Query(idleMenu.Dir(), "SELECT * FROM tblScores").size(),
              0u);
    EXPECT_EQ(Query(idleField.Dir(), "SELECT intScore FROM tblScores"),
              std::vector<std::string>{"0"});
    EXPECT_EQ(Query(field.Dir(),
                    "SELECT COUNT(*) FROM tblScores WHERE dtDate = ? AND strUserName = 'Flooder'",
                    kToday)[0],
              "1");
}

TEST(Hostile, AliasesReachScreensAndBulletinsOnlyAsText) {
    TBbs dir;
    InstallGlimra(dir.Dir());
    const std::vector<std::string> aliases = {"Esc\x1b]2;pwn\x07\x1b[2J", "|1FPipe|0C", "Quote\"d",
                                              "Byte\xff"
                                              "FF",
                                              std::string(55, 'L') + "Tail!"};
    for (std::size_t k = 0; k < aliases.size();
         ++k) { // last month too; the k-th wins on guess k + 1
        SqlConnection conn((dir.Dir() / "glimradb.db").string());
        SqlStatement(conn, "INSERT INTO tblScores VALUES (?, ?, ?)")
            .Bind(1, aliases[k])
            .Bind(2, "2026-02-1" + std::to_string(k))
            .Bind(3, std::int64_t{320} >> k)
            .Execute();
        TBbs player;
        TLaunch launch = Glimra(player, aliases[k], static_cast<int>(k) + 1);
        launch.WorkDir = dir.Dir();
        player.Start(launch);
        ASSERT_TRUE(Menu(player)) << k << player.Screen().Dump();
        std::string keys = "1";
        for (std::size_t g = 0; g < k; ++g) keys += "crane\r";
        player.Send(keys + "cider\r  q");
        EXPECT_EQ(player.WaitExit(), 0);
    }
    EXPECT_EQ(Query(dir.Dir(), "SELECT COUNT(DISTINCT strUserName) FROM tblScores WHERE dtDate = ?",
                    kToday)[0],
              "5");
    TBbs watcher; // the menu, a game (lost) and every board
    TLaunch launch = Glimra(watcher, "Watcher", 9);
    launch.WorkDir = dir.Dir();
    watcher.Start(launch);
    const std::string steps[] = {
        "", "1", "crane\rcrane\rcrane\rcrane\rcrane\rcrane\r  2", " 3", " 415\r", " 5", " 6", " 7"};
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        watcher.Send(steps[i]);
        ASSERT_TRUE(i == 0   ? Menu(watcher)
                    : i == 1 ? watcher.See(30, 16, "Enter Guess 1: ")
                             : Board(watcher))
            << i;
        watcher.Settle();
        const char* names[] = {"menu", "game", "today"};
        if (i < 3)
            ExpectFixture("e2e_hostile_" + std::string(names[i]) + ".screen",
                          Shot(watcher.Screen()));
    }
    watcher.Send(" q");
    EXPECT_TRUE(watcher.HandedBack());
    const std::string& seen = watcher.Received();
    EXPECT_EQ(Foreign(seen), "");
    EXPECT_GE(Count(seen, "Esc?]2;pwn??[2"), 8u);
    EXPECT_EQ(Count(seen, "Esc"), Count(seen, "Esc?]2;pwn??[2"));
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
    for (const char* file : {"bulletin.ans", "bulletin2.ans"}) {
        const std::string bulletin = ReadFile(dir.Dir() / file);
        EXPECT_EQ(Foreign(bulletin, false), "") << file;
        EXPECT_TRUE(Count(bulletin, "Esc?]2;pwn??[2J") >= 3 && Count(bulletin, "|1F") == 0) << file;
        EXPECT_EQ(Count(bulletin, std::string(19, 'L') + " 5."), 2u) << file << ": cut to 19";
    }
}

} // namespace
