// Hostile callers of the real bbsglimra: a megabyte of random bytes at the menu and in a guess
// field, callers silent until the idle limit, and aliases that carry escape sequences, quotes,
// byte 0xFF, pipe codes or sixty characters into every screen and bulletin.
#include "tests/e2e/glimra.h"

#include <csignal>
#include <random>

namespace {

std::string RandomBytes(std::size_t ACount, std::uint32_t ASeed, const std::string& AExcluded) {
    std::mt19937 random(ASeed);
    std::string bytes;
    while (bytes.size() < ACount)
        if (const char b = static_cast<char>(random() & 255);
            AExcluded.find(b) == std::string::npos)
            bytes += b;
    return bytes;
}

std::size_t Count(const std::string& AText, const std::string& APart) {
    std::size_t n = 0;
    for (auto at = AText.find(APart); at != std::string::npos; at = AText.find(APart, at + 1)) ++n;
    return n;
}

TEST(Hostile, FloodsAndSilentCallersAtTheMenuAndInAGuessField) {
    // Floods: every byte but the menu's keys at the menu (the door must read it all and draw
    // nothing); every byte in a guess field. Silent callers: the idle limit of 1 s ends the door;
    // the BBS's SIGTERM during its closing pause ends that at once.
    TBbs menu, field, idleMenu, idleField;
    for (TBbs* bbs : {&menu, &field, &idleMenu, &idleField}) {
        InstallGlimra(bbs->Dir(),
                      bbs == &idleMenu || bbs == &idleField ? "0\n1\n\n" : "0\n300\n\n");
        bbs->Start(Glimra(*bbs, "Flooder"));
    }
    for (TBbs* bbs : {&field, &idleField}) {
        ASSERT_TRUE(Menu(*bbs)) << bbs->Screen().Dump();
        bbs->Send("1");
        ASSERT_TRUE(bbs->See(30, 16, "Enter Guess 1: "));
    }
    for (TBbs* bbs : {&idleMenu, &idleField}) {
        ASSERT_TRUE(bbs->See("Idle Time Limit Exceeded.  Returning To BBS..."))
            << bbs->Screen().Dump();
        bbs->Signal(SIGTERM);
        EXPECT_TRUE(bbs->HandedBack()) << "the closing pause was sat out, or the caller lost";
    }
    ASSERT_TRUE(Menu(menu));
    menu.Settle();
    const std::size_t before = menu.Received().size();
    constexpr std::size_t kFlood = 1 << 20;
    ASSERT_EQ(menu.Flood(RandomBytes(kFlood, 1, "1234567aAqQ"), 60s), kFlood);
    ASSERT_TRUE(menu.Delivered(60s));
    EXPECT_EQ(menu.Received().substr(before), "") << "keys outside the menu draw nothing";
    menu.Send("\xff\xf0xxQ"); // an unfinished telnet or escape sequence is closed first
    EXPECT_TRUE(menu.HandedBack());
    // Enter tries the letters typed so far; other keys reach whichever screen is shown by then.
    if (field.Flood(RandomBytes(kFlood, 2, ""), 60s) == kFlood)
        EXPECT_TRUE(field.Delivered(60s) || !field.Running());
    field.HangUp();
    EXPECT_EQ(field.WaitExit(), 0) << field.Log();

    for (TBbs* bbs : {&menu, &field, &idleMenu, &idleField}) {
        EXPECT_EQ(Foreign(bbs->Received()), "");
        ExpectSound(bbs->Dir());
    }
    EXPECT_EQ(Query(menu.Dir(), "SELECT * FROM tblScores").size() +
                  Query(idleMenu.Dir(), "SELECT * FROM tblScores").size(),
              0u);
    EXPECT_EQ(Query(idleField.Dir(), "SELECT * FROM tblScores"),
              std::vector<std::string>{"Flooder|" + kToday + "|0"});
    EXPECT_EQ(Query(field.Dir(), "SELECT COUNT(*) FROM tblScores WHERE dtDate = '" + kToday +
                                     "' AND strUserName = 'Flooder'"),
              std::vector<std::string>{"1"});
}

TEST(Hostile, AliasesReachScreensAndBulletinsOnlyAsText) {
    TBbs dir;
    InstallGlimra(dir.Dir());
    const std::vector<std::string> aliases = {"Esc\x1b]2;pwn\x07\x1b[2J", "|1FPipe|0C", "Quote\"d",
                                              "Byte\xff"
                                              "FF",
                                              std::string(55, 'L') + "Tail!"};
    for (std::size_t k = 0; k < aliases.size(); ++k) { // last month too, and each plays today
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
        std::string keys = "1"; // the k-th finds the word on guess k + 1
        for (std::size_t g = 0; g < k; ++g) keys += "crane\r";
        player.Send(keys + "cider\r");
        ASSERT_TRUE(player.See(2, 24, "The Word Was: CIDER")) << k << player.Screen().Dump();
        player.Send("  q");
        EXPECT_EQ(player.WaitExit(), 0);
    }
    EXPECT_EQ(
        Query(dir.Dir(), "SELECT COUNT(DISTINCT strUserName) FROM tblScores WHERE dtDate = '" +
                             kToday + "'")[0],
        "5");

    // Another caller views the menu, a game (lost) and every board.
    TBbs watcher;
    TLaunch launch = Glimra(watcher, "Watcher", 9);
    launch.WorkDir = dir.Dir();
    watcher.Start(launch);
    ASSERT_TRUE(Menu(watcher));
    ExpectFixture("e2e_hostile_menu.screen", (watcher.Settle(), Shot(watcher.Screen())));
    watcher.Send("1");
    ASSERT_TRUE(watcher.See(30, 16, "Enter Guess 1: "));
    ExpectFixture("e2e_hostile_game.screen", (watcher.Settle(), Shot(watcher.Screen())));
    watcher.Send("crane\rcrane\rcrane\rcrane\rcrane\rcrane\r  ");
    ASSERT_TRUE(Menu(watcher));
    watcher.Send("2");
    ASSERT_TRUE(Board(watcher));
    ExpectFixture("e2e_hostile_today.screen", (watcher.Settle(), Shot(watcher.Screen())));
    for (const std::string keys : {" 3", " 415\r", " 5", " 6", " 7"}) {
        watcher.Send(keys);
        ASSERT_TRUE(watcher.WaitFor([](const TVTermScreen& S) {
            return !S.Shows("Version") && S.Shows("Press Any Key");
        })) << keys;
        watcher.Settle();
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
        EXPECT_GE(Count(bulletin, "Esc?]2;pwn??[2J"), 3u) << file;
        EXPECT_EQ(Count(bulletin, "|1F"), 0u) << file;
        EXPECT_EQ(Count(bulletin, std::string(19, 'L') + " 5."), 2u) << file << ": cut to 19";
    }
}

} // namespace
