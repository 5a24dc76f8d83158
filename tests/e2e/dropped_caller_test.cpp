// Callers who hang up on every screen of the real bbsglimra: the menu, the game before and after
// a guess, each board, the boxes over the menu, the calendar, the about pages and the input
// fields. The door must notice, end with code 0 within 4 s and leave its database sound.
#include "tests/e2e/glimra_node.h"

namespace {

using namespace glimra_e2e;

struct TDropCase {
    const char* Screen;
    bool PlayedToday; // the caller has a score for today before the door starts
    std::vector<std::pair<std::string, std::function<bool(const TNode&)>>> Steps;
    std::int64_t TodayScore; // the caller's score for today afterwards; -1: no row
};

bool Board(const TNode& ANode) {
    return ANode.See([](const TVTermScreen& AScreen) {
        const std::string dump = AScreen.Dump();
        return dump.find("Version 2024.10.2") == std::string::npos &&
               dump.find("Press Any Key to Continue") != std::string::npos;
    });
}

auto At(int ACol, int ARow, const std::string& AText) {
    return [=](const TNode& ANode) { return ANode.See(ACol, ARow, AText); };
}

auto Showing(const std::string& AText) {
    return [=](const TNode& ANode) { return ANode.See(Shows(AText)); };
}

std::vector<TDropCase> Cases() {
    const auto guess1 = At(30, 16, "Enter Guess 1: ");
    const auto menu = [](const TNode& ANode) { return ANode.SeeMenu(); };
    return {
        {"menu", false, {}, -1},
        {"game before the first guess", false, {{"1", guess1}}, 0},
        {"guess field half typed", false, {{"1", guess1}, {"cra", At(45, 16, "cra")}}, 0},
        {"game after the first guess",
         false,
         {{"1", guess1}, {"crane\r", At(30, 16, "Enter Guess 2: ")}},
         0},
        {"refused guess", false, {{"1", guess1}, {"zzzzz\r", At(52, 16, "I do not have")}}, 0},
        {"end of a won game",
         false,
         {{"1", guess1}, {"cider\r", At(2, 24, "The Word Was: CIDER")}},
         320},
        {"day's board after the game",
         false,
         {{"1", guess1},
          {"cider\r", At(2, 24, "The Word Was: CIDER")},
          {" ", At(30, 24, "Press Any Key to Continue")}},
         320},
        {"today's scores", false, {{"2", Board}}, -1},
        {"daily champions", false, {{"3", Board}}, -1},
        {"last month", false, {{"5", Board}}, -1},
        {"all time", false, {{"6", Board}}, -1},
        {"recent champions", false, {{"7", Board}}, -1},
        {"day-select box", false, {{"4", At(29, 16, " Select day to view: ")}}, -1},
        {"day-select box with a digit",
         false,
         {{"4", At(29, 16, " Select day to view: ")}, {"1", At(50, 16, "1")}},
         -1},
        {"board of a chosen day",
         false,
         {{"4", At(29, 16, " Select day to view: ")}, {"15\r", Board}},
         -1},
        {"about, first page", false, {{"A", Showing("Guess 1-> ")}}, -1},
        {"about, second page",
         false,
         {{"A", Showing("Guess 1-> ")},
          {" ",
           [](const TNode& ANode) {
               return ANode.See([](const TVTermScreen& AScreen) {
                   const std::string dump = AScreen.Dump();
                   return dump.find("Press Any Key") != std::string::npos &&
                          dump.find("Guess 1-> ") == std::string::npos;
               });
           }}},
         -1},
        {"already-played box", true, {{"1", Showing("Day already played!")}}, 160},
        {"calendar",
         true,
         {{"1", Showing("Day already played!")},
          {"y", At(23, 17, "Select Availble Day or 0 to quit: ")}},
         160},
        {"calendar with a day half typed",
         true,
         {{"1", Showing("Day already played!")},
          {"y", At(23, 17, "Select Availble Day or 0 to quit: ")},
          {"2", At(57, 17, "2")}},
         160},
        {"back on the menu after a board", false, {{"2", Board}, {" ", menu}}, -1},
    };
}

TEST(DroppedCaller, EveryScreenEndsTheDoorWithinFourSeconds) {
    const std::vector<TDropCase> cases = Cases();
    // All doors run at once, each on its own directory; every caller hangs up on its screen.
    std::vector<TNode> nodes;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        nodes.emplace_back("Dropper", static_cast<int>(i) + 1);
        const fs::path dir = nodes.back().Bbs->WorkDir();
        InstallGlimra(dir, "0\n300\n\n");
        if (cases[i].PlayedToday) {
            SqlConnection conn((dir / "glimradb.db").string());
            SqlStatement(conn, "INSERT INTO tblScores (strUserName, dtDate, intScore) "
                               "VALUES ('Dropper', ?, 160)")
                .Bind(1, kToday)
                .Execute();
        }
    }
    for (TNode& node : nodes) node.Start();

    for (std::size_t i = 0; i < cases.size(); ++i) {
        TNode& node = nodes[i];
        ASSERT_TRUE(node.SeeMenu()) << cases[i].Screen << "\n" << node.Screen().Dump();
        for (const auto& [keys, until] : cases[i].Steps) {
            node.Send(keys);
            ASSERT_TRUE(until(node)) << cases[i].Screen << ", keys " << keys << "\n"
                                     << node.Screen().Dump();
        }
    }
    // Each door has drawn its screen whole and waits for a key.
    for (TNode& node : nodes) node.Bbs->CallerPump(300ms);

    std::vector<std::chrono::steady_clock::time_point> hungUp;
    for (TNode& node : nodes) {
        node.Bbs->CallerHangUp();
        hungUp.push_back(std::chrono::steady_clock::now());
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            hungUp[i] + 4s - std::chrono::steady_clock::now());
        EXPECT_EQ(nodes[i].Bbs->WaitExit(std::max(left, 0ms)), 0)
            << "dropped on: " << cases[i].Screen << "\n"
            << nodes[i].Bbs->DoorLog();
    }

    for (std::size_t i = 0; i < cases.size(); ++i) {
        const fs::path dir = nodes[i].Bbs->WorkDir();
        EXPECT_EQ(IntegrityCheck(dir), "ok") << cases[i].Screen;
        EXPECT_EQ(DatesWithSeveralWords(dir), std::vector<std::string>{}) << cases[i].Screen;
        const std::vector<TScoreRow> rows = ScoreRows(dir);
        if (cases[i].TodayScore < 0) {
            EXPECT_TRUE(rows.empty()) << cases[i].Screen;
        } else {
            ASSERT_EQ(rows.size(), 1u) << cases[i].Screen;
            EXPECT_EQ(rows[0].Name, "Dropper");
            EXPECT_EQ(rows[0].Date, kToday);
            EXPECT_EQ(rows[0].Score, cases[i].TodayScore) << cases[i].Screen;
        }
        // Only a quit writes the bulletins.
        EXPECT_FALSE(fs::exists(dir / "bulletin.ans")) << cases[i].Screen;
    }
}

} // namespace
