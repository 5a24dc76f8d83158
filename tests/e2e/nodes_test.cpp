// Many nodes of the real bbsglimra at once: eight callers who play, view every board and quit on
// one door directory; eight who drop at moments drawn from a fixed seed; a caller hanging up on
// every screen. Scores, words of the month, bulletins and the database must come out whole.
#include "tests/e2e/glimra.h"

#include <map>
#include <random>

namespace {

using TNodes = std::vector<std::unique_ptr<TBbs>>;
using TStep = std::pair<std::string, std::function<bool(TBbs&)>>; // keys, then what is shown

std::function<bool(TBbs&)> At(int ACol, int ARow, const std::string& AText) {
    return [=](TBbs& ABbs) { return ABbs.See(ACol, ARow, AText); };
}

// The visit of a caller who finds the word on guess AGuess (7: never), views the boards, quits.
std::vector<TStep> Visit(int AGuess) {
    std::vector<TStep> steps = {{"", Menu}, {"1", At(30, 16, "Enter Guess 1: ")}};
    for (int k = 1; k <= std::min(AGuess, 6); ++k)
        steps.push_back({k == AGuess ? "cider\r" : "crane\r",
                         k == std::min(AGuess, 6)
                             ? At(2, 24, "The Word Was: CIDER")
                             : At(30, 16, "Enter Guess " + std::to_string(k + 1))});
    steps.push_back({" ", At(30, 24, "Press Any Key to Continue")}); // the day's board
    for (const char* board : {"2", "3", "5", "6", "7"})
        steps.insert(steps.end(), {{" ", Menu}, {board, Board}});
    steps.insert(steps.end(), {{" ", Menu}, {"q", [](TBbs& B) { return B.WaitExit(20s) == 0; }}});
    return steps;
}

// Eight nodes on one directory; node i (from 0) drops after the keys of step ADrop[i].
TNodes RunNodes(const fs::path& ADir, const std::string& AName,
                const std::vector<std::size_t>& ADrop) {
    TNodes nodes;
    for (int n = 1; n <= 8; ++n) {
        nodes.push_back(std::make_unique<TBbs>());
        TLaunch launch = Glimra(*nodes.back(), AName + std::to_string(n), n);
        launch.WorkDir = ADir;
        nodes.back()->Start(launch);
    }
    for (std::size_t step = 0; step < Visit(7).size(); ++step) {
        for (std::size_t i = 0; i < 8; ++i) // all at once
            if (step < Visit(i + 1).size() && step <= ADrop[i])
                nodes[i]->Send(Visit(i + 1)[step].first);
        for (std::size_t i = 0; i < 8; ++i) {
            if (step == ADrop[i]) nodes[i]->HangUp(); // while its door is at work on the keys
            if (step < Visit(i + 1).size() && step < ADrop[i])
                EXPECT_TRUE(Visit(i + 1)[step].second(*nodes[i])) << i << " step " << step << "\n"
                                                                  << nodes[i]->Screen().Dump();
        }
    }
    for (auto& node : nodes) EXPECT_EQ(node->WaitExit(), 0) << node->Log();
    ExpectSound(ADir);
    return nodes;
}

TEST(Nodes, EightCallersPlayViewEveryBoardAndQuitAtOnce) {
    TBbs dir;
    InstallGlimra(dir.Dir());
    RunNodes(dir.Dir(), "Caller", std::vector<std::size_t>(8, 99));
    std::vector<std::string> expected;
    for (int n = 1; n <= 8; ++n)
        expected.push_back("Caller" + std::to_string(n) + "|" + kToday + "|" +
                           std::to_string(n <= 6 ? 320 >> (n - 1) : 0));
    EXPECT_EQ(Query(dir.Dir(), "SELECT * FROM tblScores ORDER BY strUserName"), expected);
    EXPECT_EQ(
        Query(dir.Dir(),
              "SELECT COUNT(DISTINCT dtDate) FROM tblWordsByDate WHERE dtDate LIKE '2026-03%'")[0],
        "31");
    // Whichever node wrote them last, all wrote the same standings, and whole.
    const std::string first = ReadFile(dir.Dir() / "bulletin.ans"),
                      second = ReadFile(dir.Dir() / "bulletin2.ans");
    ExpectFixture("e2e_bulletin.ans", first);
    EXPECT_TRUE(
        second.ends_with("\r\n\r\n" + first.substr(first.find("\x1b[0;40;32m         Daily"))));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Dir()), fs::directory_iterator()), 8)
        << "no temporary file";
}

TEST(Nodes, EightCallersDroppingAtRandomMomentsLoseNoScore) {
    TBbs dir;
    InstallGlimra(dir.Dir());
    std::mt19937 random(20260315);
    std::vector<std::size_t> drop;
    for (int n = 1; n <= 8; ++n)
        drop.push_back(std::uniform_int_distribution<std::size_t>(1, Visit(n).size() - 2)(random));
    const TNodes nodes = RunNodes(dir.Dir(), "Dropper", drop);
    std::map<std::string, std::string> stored; // at most one row a caller, 0 or the game's points
    for (const auto& row : Query(dir.Dir(), "SELECT strUserName, intScore FROM tblScores"))
        EXPECT_TRUE(
            stored.emplace(row.substr(0, row.find('|')), row.substr(row.find('|') + 1)).second)
            << row;
    for (std::size_t i = 0; i < 8; ++i) {
        const std::string name = "Dropper" + std::to_string(i + 1),
                          won = std::to_string(i < 6 ? 320 >> i : 0);
        const std::string& seen = nodes[i]->Received();
        EXPECT_EQ(stored.count(name),
                  seen.find("Enter Guess 1") != std::string::npos ? 1u : stored.count(name));
        EXPECT_TRUE(!stored.count(name) || stored[name] == "0" || stored[name] == won) << name;
        if (seen.find("The Word Was") != std::string::npos) EXPECT_EQ(stored[name], won) << name;
    }
}

TEST(Nodes, ACallerHangingUpOnAnyScreenEndsTheDoorWithinFourSeconds) {
    const auto guess = At(30, 16, "Enter Guess 1: "), box = At(15, 16, "Day already played!");
    const auto select = At(29, 16, " Select day to view: "),
               calendar = At(23, 17, "Select Availble Day");
    const auto about = [](TBbs& B) { return B.See("Guess 1-> "); };
    const std::tuple<bool, std::vector<TStep>, std::string> cases[] = {
        // played today before, the way to the screen, today's score after ("" for none)
        {false, {}, ""},
        {false, {{"1", guess}}, "0"},
        {false, {{"1", guess}, {"cra", At(45, 16, "cra")}}, "0"},
        {false, {{"1", guess}, {"crane\r", At(30, 16, "Enter Guess 2: ")}}, "0"},
        {false, {{"1", guess}, {"zzzzz\r", At(52, 16, "I do not have")}}, "0"},
        {false, {{"1", guess}, {"cider\r", At(2, 24, "The Word Was: CIDER")}}, "320"},
        {false, {{"1", guess}, {"cider\r ", At(30, 24, "Press Any Key to Continue")}}, "320"},
        {false, {{"2", Board}}, ""},
        {false, {{"3", Board}}, ""},
        {false, {{"5", Board}}, ""},
        {false, {{"6", Board}}, ""},
        {false, {{"7", Board}}, ""},
        {false, {{"4", select}}, ""},
        {false, {{"4", select}, {"1", At(50, 16, "1")}}, ""},
        {false, {{"4", select}, {"15\r", Board}}, ""},
        {false, {{"A", about}}, ""},
        {false,
         {{"A", about},
          {" ",
           [](TBbs& B) {
               return B.WaitFor([](const TVTermScreen& S) {
                   return S.Shows("Press Any") && !S.Shows("Guess 1");
               });
           }}},
         ""},
        {true, {{"1", box}}, "160"},
        {true, {{"1", box}, {"y", calendar}}, "160"},
        {true, {{"1", box}, {"y", calendar}, {"2", At(57, 17, "2")}}, "160"},
    };
    TNodes nodes; // all at once, each on its own directory
    for (const auto& [played, steps, score] : cases) {
        nodes.push_back(std::make_unique<TBbs>());
        InstallGlimra(nodes.back()->Dir());
        if (played)
            Query(nodes.back()->Dir(), "INSERT INTO tblScores VALUES ('Tester', ?, 160)", kToday);
        nodes.back()->Start(Glimra(*nodes.back()));
    }
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        ASSERT_TRUE(Menu(*nodes[i])) << i;
        for (const auto& [keys, until] : std::get<1>(cases[i]))
            ASSERT_TRUE((nodes[i]->Send(keys), until(*nodes[i]))) << i << "\n"
                                                                  << nodes[i]->Screen().Dump();
    }
    for (auto& node : nodes) node->Settle(); // each door has drawn its screen and waits
    const auto hungUp = std::chrono::steady_clock::now();
    for (auto& node : nodes) node->HangUp();
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const auto left =
            std::chrono::duration_cast<TMs>(hungUp + 4s - std::chrono::steady_clock::now());
        EXPECT_EQ(nodes[i]->WaitExit(std::max(left, 1ms)), 0) << i << nodes[i]->Log();
        const std::string& score = std::get<2>(cases[i]);
        EXPECT_EQ(Query(nodes[i]->Dir(), "SELECT intScore FROM tblScores"),
                  score.empty() ? std::vector<std::string>{} : std::vector<std::string>{score})
            << i;
        EXPECT_FALSE(fs::exists(nodes[i]->Dir() / "bulletin.ans"))
            << "only a quit writes the bulletins";
        ExpectSound(nodes[i]->Dir());
    }
}

} // namespace
