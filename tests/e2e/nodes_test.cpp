// Many nodes of the real bbsglimra at once: eight callers who play, view every board and quit on
// one door directory; eight who drop at moments drawn from a fixed seed; and a caller hanging up
// on every screen. Scores, words of the month, bulletins and the database must come out whole.
#include "tests/e2e/glimra.h"

#include <map>
#include <memory>
#include <random>

namespace {

using TNodes = std::vector<std::unique_ptr<TBbs>>;

// A step of a caller: keys, then what the door shows.
struct TStep {
    std::string Keys;
    std::function<bool(TBbs&)> Until;
};

std::function<bool(TBbs&)> At(int ACol, int ARow, const std::string& AText) {
    return [=](TBbs& ABbs) { return ABbs.See(ACol, ARow, AText); };
}

// The way of a caller who finds the word on guess AGuess (7: never), then quits.
std::vector<TStep> Visit(int AGuess) {
    std::vector<TStep> steps = {{"", Menu}, {"1", At(30, 16, "Enter Guess 1: ")}};
    for (int k = 1; k <= std::min(AGuess, 6); ++k)
        steps.push_back({k == AGuess ? "cider\r" : "crane\r",
                         k >= std::min(AGuess, 6)
                             ? At(2, 24, "The Word Was: CIDER")
                             : At(30, 16, "Enter Guess " + std::to_string(k + 1))});
    steps.push_back({" ", At(30, 24, "Press Any Key to Continue")}); // the day's board
    for (const char* board : {"2", "3", "5", "6", "7"}) {
        steps.push_back({" ", Menu});
        steps.push_back({board, Board});
    }
    steps.push_back({" ", Menu});
    steps.push_back({"q", [](TBbs& ABbs) { return ABbs.WaitExit(20s) == 0; }});
    return steps;
}

TNodes StartNodes(const fs::path& ADir, const std::string& AName) {
    TNodes nodes;
    for (int n = 1; n <= 8; ++n) {
        nodes.push_back(std::make_unique<TBbs>());
        TLaunch launch = Glimra(*nodes.back(), AName + std::to_string(n), n);
        launch.WorkDir = ADir;
        nodes.back()->Start(launch);
    }
    return nodes;
}

TEST(Nodes, EightCallersPlayViewEveryBoardAndQuitAtOnce) {
    TBbs dir;
    InstallGlimra(dir.Dir());
    TNodes nodes = StartNodes(dir.Dir(), "Caller");
    std::vector<std::vector<TStep>> visits;
    for (int n = 1; n <= 8; ++n) visits.push_back(Visit(n));
    for (std::size_t step = 0; step < visits[0].size(); ++step) {
        for (std::size_t i = 0; i < 8; ++i) nodes[i]->Send(visits[i][step].Keys); // all at once
        for (std::size_t i = 0; i < 8; ++i)
            ASSERT_TRUE(visits[i][step].Until(*nodes[i])) << i << " step " << step << "\n"
                                                          << nodes[i]->Screen().Dump();
    }
    std::vector<std::string> expected;
    for (int n = 1; n <= 8; ++n)
        expected.push_back("Caller" + std::to_string(n) + "|" + kToday + "|" +
                           std::to_string(n <= 6 ? 320 >> (n - 1) : 0));
    EXPECT_EQ(Query(dir.Dir(), "SELECT * FROM tblScores ORDER BY strUserName"), expected);
    EXPECT_EQ(
        Query(dir.Dir(),
              "SELECT COUNT(DISTINCT dtDate) FROM tblWordsByDate WHERE dtDate LIKE '2026-03%'"),
        std::vector<std::string>{"31"});
    ExpectSound(dir.Dir());
    // Whichever node wrote them last, all wrote the same standings.
    const std::string first = ReadFile(dir.Dir() / "bulletin.ans"),
                      second = ReadFile(dir.Dir() / "bulletin2.ans");
    ExpectFixture("e2e_bulletin.ans", first);
    EXPECT_TRUE(
        second.ends_with("\r\n\r\n" + first.substr(first.find("\x1b[0;40;32m         Daily"))));
    for (const auto& entry : fs::directory_iterator(dir.Dir()))
        EXPECT_NE(entry.path().extension(), ".tmp") << "a bulletin left half written";
}

TEST(Nodes, EightCallersDroppingAtRandomMomentsLoseNoScore) {
    TBbs dir;
    InstallGlimra(dir.Dir());
    TNodes nodes = StartNodes(dir.Dir(), "Dropper");
    std::mt19937 random(20260315);
    std::vector<std::vector<TStep>> visits;
    std::vector<std::size_t> dropAt;
    for (int n = 1; n <= 8; ++n) {
        visits.push_back(Visit(n));
        dropAt.push_back(
            std::uniform_int_distribution<std::size_t>(1, visits.back().size() - 2)(random));
    }
    for (std::size_t step = 0; step < visits[0].size(); ++step) {
        for (std::size_t i = 0; i < 8; ++i)
            if (step <= dropAt[i]) nodes[i]->Send(visits[i][step].Keys);
        for (std::size_t i = 0; i < 8; ++i) {
            if (step == dropAt[i]) nodes[i]->HangUp(); // while its door is at work on the keys
            if (step < dropAt[i])
                ASSERT_TRUE(visits[i][step].Until(*nodes[i])) << i << " step " << step;
        }
    }
    std::map<std::string, std::string> stored;
    for (const auto& row :
         Query(dir.Dir(),
               "SELECT strUserName, intScore FROM tblScores WHERE dtDate = '" + kToday + "'"))
        EXPECT_TRUE(
            stored.emplace(row.substr(0, row.find('|')), row.substr(row.find('|') + 1)).second)
            << row;
    EXPECT_EQ(Query(dir.Dir(), "SELECT COUNT(*) FROM tblScores")[0], std::to_string(stored.size()));
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(nodes[i]->WaitExit(10s), 0) << i;
        const std::string name = "Dropper" + std::to_string(i + 1),
                          won = std::to_string(i < 6 ? 320 >> i : 0);
        const bool sawGame = nodes[i]->Received().find("Enter Guess 1") != std::string::npos;
        const bool sawEnd = nodes[i]->Received().find("The Word Was") != std::string::npos;
        EXPECT_EQ(stored.count(name), sawGame ? 1u : stored.count(name)) << name;
        EXPECT_TRUE(!stored.count(name) || stored[name] == "0" || stored[name] == won) << name;
        if (sawEnd) EXPECT_EQ(stored[name], won) << name;
    }
    ExpectSound(dir.Dir());
}

TEST(Nodes, ACallerHangingUpOnAnyScreenEndsTheDoorWithinFourSeconds) {
    const auto guess1 = At(30, 16, "Enter Guess 1: ");
    const auto select = At(29, 16, " Select day to view: ");
    const auto calendar = At(23, 17, "Select Availble Day or 0 to quit: ");
    const auto about = [](TBbs& B) { return B.See("Guess 1-> "); };
    const std::tuple<std::string, bool, std::vector<TStep>, std::string> cases[] = {
        // screen, played today before, steps, today's score after ("" for none)
        {"menu", false, {}, ""},
        {"game", false, {{"1", guess1}}, "0"},
        {"half a guess", false, {{"1", guess1}, {"cra", At(45, 16, "cra")}}, "0"},
        {"second guess", false, {{"1", guess1}, {"crane\r", At(30, 16, "Enter Guess 2: ")}}, "0"},
        {"refused guess", false, {{"1", guess1}, {"zzzzz\r", At(52, 16, "I do not have")}}, "0"},
        {"won", false, {{"1", guess1}, {"cider\r", At(2, 24, "The Word Was: CIDER")}}, "320"},
        {"day's board",
         false,
         {{"1", guess1}, {"cider\r ", At(30, 24, "Press Any Key to Continue")}},
         "320"},
        {"board 2", false, {{"2", Board}}, ""},
        {"board 3", false, {{"3", Board}}, ""},
        {"board 5", false, {{"5", Board}}, ""},
        {"board 6", false, {{"6", Board}}, ""},
        {"board 7", false, {{"7", Board}}, ""},
        {"day select", false, {{"4", select}}, ""},
        {"day select typed", false, {{"4", select}, {"1", At(50, 16, "1")}}, ""},
        {"day's board", false, {{"4", select}, {"15\r", Board}}, ""},
        {"about", false, {{"A", about}}, ""},
        {"about 2",
         false,
         {{"A", about},
          {" ",
           [](TBbs& B) {
               return B.WaitFor([](const TVTermScreen& S) {
                   return !S.Shows("Guess 1-> ") && S.Shows("Press Any Key");
               });
           }}},
         ""},
        {"played box", true, {{"1", At(15, 16, "Day already played!")}}, "160"},
        {"calendar", true, {{"1", At(15, 16, "Day already played!")}, {"y", calendar}}, "160"},
        {"calendar typed",
         true,
         {{"1", At(15, 16, "Day already played!")}, {"y", calendar}, {"2", At(57, 17, "2")}},
         "160"},
    };
    TNodes nodes; // all at once, each on its own directory
    for (const auto& [screen, played, steps, score] : cases) {
        nodes.push_back(std::make_unique<TBbs>());
        InstallGlimra(nodes.back()->Dir());
        if (played)
            Query(nodes.back()->Dir(),
                  "INSERT INTO tblScores VALUES ('Dropper', '" + kToday + "', 160)");
        nodes.back()->Start(Glimra(*nodes.back(), "Dropper"));
    }
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        ASSERT_TRUE(Menu(*nodes[i])) << std::get<0>(cases[i]);
        for (const TStep& step : std::get<2>(cases[i])) {
            nodes[i]->Send(step.Keys);
            ASSERT_TRUE(step.Until(*nodes[i])) << std::get<0>(cases[i]) << "\n"
                                               << nodes[i]->Screen().Dump();
        }
    }
    for (auto& node : nodes) node->Settle(); // each door has drawn its screen and waits
    const auto hungUp = std::chrono::steady_clock::now();
    for (auto& node : nodes) node->HangUp();
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const auto left =
            std::chrono::duration_cast<TMs>(hungUp + 4s - std::chrono::steady_clock::now());
        EXPECT_EQ(nodes[i]->WaitExit(std::max(left, 1ms)), 0)
            << std::get<0>(cases[i]) << nodes[i]->Log();
        const std::string& score = std::get<3>(cases[i]);
        EXPECT_EQ(Query(nodes[i]->Dir(), "SELECT intScore FROM tblScores"),
                  score.empty() ? std::vector<std::string>{} : std::vector<std::string>{score})
            << std::get<0>(cases[i]);
        EXPECT_FALSE(fs::exists(nodes[i]->Dir() / "bulletin.ans"))
            << "only a quit writes the bulletins";
        ExpectSound(nodes[i]->Dir());
    }
}

} // namespace
