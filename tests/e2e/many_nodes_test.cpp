// Eight nodes of the real bbsglimra at once on one door directory: every caller plays, views
// every board and quits; then eight callers who drop at moments drawn from a fixed seed. The
// scores, the words of the month and the bulletins must come out whole either way.
#include "tests/e2e/glimra_node.h"

#include <algorithm>
#include <map>
#include <random>
#include <thread>

namespace {

using namespace glimra_e2e;

constexpr int kNodes = 8;

// The points of a game won on guess AGuess (1-6); 0 for a loss (7).
std::int64_t Points(int AGuess) {
    return AGuess <= 6 ? 320 >> (AGuess - 1) : 0;
}

// The guesses of a caller who finds the word on guess AGuess (7: never).
std::string Guesses(int AGuess) {
    std::string keys;
    for (int k = 1; k < AGuess && k <= 6; ++k) keys += "crane\r";
    if (AGuess <= 6) keys += "cider\r";
    return keys;
}

bool SeeBoard(const TNode& ANode) {
    return ANode.See([](const TVTermScreen& AScreen) {
        const std::string dump = AScreen.Dump();
        return dump.find("Version 2024.10.2") == std::string::npos &&
               dump.find("Press Any Key to Continue") != std::string::npos;
    });
}

// Runs AStep on every node, all keys sent first so that the doors work at the same time.
void EveryNode(std::vector<TNode>& ANodes, const std::string& AKeys,
               const std::function<bool(const TNode&)>& AUntil, const std::string& AWhat) {
    for (TNode& node : ANodes) node.Send(AKeys);
    for (TNode& node : ANodes)
        ASSERT_TRUE(AUntil(node)) << node.Alias << ", " << AWhat << "\n" << node.Screen().Dump();
}

// The score table both bulletins end with when today's, the month's and all time's top five are
// the same callers with the same points.
std::string BulletinTable(const std::vector<std::pair<std::string, std::int64_t>>& ATop) {
    const std::string bright = "\x1b[0;1;40;32m";
    std::string table =
        "\x1b[0;40;32m         Daily                 Monthly               All-Time\r\n";
    for (std::size_t k = 0; k < 5; ++k) {
        const std::string place = std::to_string(k + 1) + ".";
        const std::string& name = ATop[k].first;
        const std::string pad(20 - name.size(), ' ');
        table += bright + std::string(10, ' ') + place + name + pad + place + name + pad + place +
                 name + "\r\n";
        const std::string points = std::to_string(ATop[k].second);
        const std::string gap(22 - points.size(), ' ');
        table += bright + std::string(12, ' ') + points + gap + points + gap + points + "\r\n";
    }
    return table;
}

bool EndsWith(const std::string& AText, const std::string& AEnd) {
    return AText.size() >= AEnd.size() &&
           AText.compare(AText.size() - AEnd.size(), AEnd.size(), AEnd) == 0;
}

void ExpectWordsOfTheMonth(const fs::path& ADir) {
    EXPECT_EQ(DatesWithSeveralWords(ADir), std::vector<std::string>{});
    SqlConnection conn((ADir / "glimradb.db").string());
    SqlStatement query(conn, "SELECT COUNT(DISTINCT dtDate) FROM tblWordsByDate "
                             "WHERE dtDate BETWEEN '2026-03-01' AND '2026-03-31'");
    ASSERT_TRUE(query.Step());
    EXPECT_EQ(query.ColumnInt(0), 31) << "every day of the month has its word";
}

TEST(ManyNodes, EightCallersPlayViewEveryBoardAndQuitAtOnce) {
    TTempDir dir;
    InstallGlimra(dir.Path(), "0\n300\nWell done!\n");
    std::vector<TNode> nodes;
    for (int n = 1; n <= kNodes; ++n) nodes.emplace_back("Caller" + std::to_string(n), n);
    for (TNode& node : nodes) node.Start(dir.Path());
    for (TNode& node : nodes)
        ASSERT_TRUE(node.SeeMenu()) << node.Alias << "\n"
                                    << node.Screen().Dump() << node.Bbs->DoorLog();

    // Caller n finds the word on guess n; callers 7 and 8 lose. All play at the same time.
    EveryNode(
        nodes, "1", [](const TNode& N) { return N.See(30, 16, "Enter Guess 1: "); }, "game");
    for (std::size_t i = 0; i < nodes.size(); ++i) nodes[i].Send(Guesses(static_cast<int>(i) + 1));
    EveryNode(
        nodes, "", [](const TNode& N) { return N.See(2, 24, "The Word Was: CIDER"); },
        "end of the game");
    EveryNode(
        nodes, " ", [](const TNode& N) { return N.See(31, 10, "TOP TEN FOR 03/15/2026"); },
        "the day's board");
    EveryNode(
        nodes, "", [](const TNode& N) { return N.See(30, 24, "Press Any Key to Continue"); },
        "the day's board");
    EveryNode(
        nodes, " ", [](const TNode& N) { return N.SeeMenu(); }, "menu");

    // Every board from every node, all nodes at once.
    for (const char* key : {"2", "3", "5", "6", "7"}) {
        EveryNode(nodes, key, SeeBoard, std::string("board ") + key);
        EveryNode(
            nodes, " ", [](const TNode& N) { return N.SeeMenu(); }, "menu");
    }
    EveryNode(
        nodes, "4", [](const TNode& N) { return N.See(29, 16, " Select day to view: "); },
        "day-select box");
    EveryNode(nodes, "15\r", SeeBoard, "the board of the 15th");
    EveryNode(
        nodes, " ", [](const TNode& N) { return N.SeeMenu(); }, "menu");
    EveryNode(
        nodes, "A", [](const TNode& N) { return N.See(Shows("Guess 1-> ")); }, "about");
    EveryNode(
        nodes, " ", [](const TNode& N) { return N.See(Shows("Press Any Key")); }, "about 2");
    EveryNode(
        nodes, " ", [](const TNode& N) { return N.SeeMenu(); }, "menu");

    // With every game over, today's leader is on each node's panel.
    for (TNode& node : nodes) node.Send("3"); // a board, then the menu drawn afresh
    for (TNode& node : nodes) ASSERT_TRUE(SeeBoard(node)) << node.Alias;
    for (TNode& node : nodes) node.Send(" ");
    for (TNode& node : nodes) {
        ASSERT_TRUE(node.SeeMenu()) << node.Alias;
        EXPECT_EQ(Text(node.Screen(), 58, 11, 18), "Caller1        320") << node.Alias;
    }

    for (TNode& node : nodes) node.Send("q");
    for (TNode& node : nodes) EXPECT_EQ(node.Bbs->WaitExit(20s), 0) << node.Alias;

    // One score per caller, under today's date.
    std::map<std::string, std::int64_t> expected;
    for (int n = 1; n <= kNodes; ++n) expected["Caller" + std::to_string(n)] = Points(n);
    std::map<std::string, std::int64_t> stored;
    for (const TScoreRow& row : ScoreRows(dir.Path())) {
        EXPECT_EQ(row.Date, kToday) << row.Name;
        EXPECT_TRUE(stored.emplace(row.Name, row.Score).second) << "two rows for " << row.Name;
    }
    EXPECT_EQ(stored, expected);
    ExpectWordsOfTheMonth(dir.Path());
    EXPECT_EQ(IntegrityCheck(dir.Path()), "ok");

    // Both bulletins whole, whichever node wrote them last: all wrote the same standings.
    const std::string table = BulletinTable(
        {{"Caller1", 320}, {"Caller2", 160}, {"Caller3", 80}, {"Caller4", 40}, {"Caller5", 20}});
    const std::string bulletin = ReadFile(dir.Path() / "bulletin.ans");
    EXPECT_EQ(bulletin.rfind("\x1b[0;1;40;33m", 0), 0u) << "starts with the banner";
    EXPECT_TRUE(EndsWith(bulletin, table)) << bulletin;
    EXPECT_NE(bulletin.find("Glimra Scores for 3/15/2026\r\n"), std::string::npos);
    const std::string bulletin2 = ReadFile(dir.Path() / "bulletin2.ans");
    EXPECT_EQ(bulletin2.rfind("\x1b[0;1;40;33m", 0), 0u);
    EXPECT_TRUE(EndsWith(bulletin2, "\r\n\r\n" + table)) << bulletin2;
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        EXPECT_NE(entry.path().extension(), ".tmp") << "a bulletin left half written";
}

// A caller's way through the door, one step at a time: keys, then what the door shows.
struct TStep {
    std::string Keys;
    std::function<bool(const TNode&)> Until;
};

std::vector<TStep> Script(int AGuess) {
    std::vector<TStep> steps = {
        {"", [](const TNode& N) { return N.SeeMenu(); }},
        {"1", [](const TNode& N) { return N.See(30, 16, "Enter Guess 1: "); }},
    };
    for (int k = 1; k <= 6; ++k) {
        const bool last = k == AGuess || k == 6;
        steps.push_back({k == AGuess ? "cider\r" : "crane\r", [k, last](const TNode& N) {
                             return last ? N.See(2, 24, "The Word Was: CIDER")
                                         : N.See(30, 16, "Enter Guess " + std::to_string(k + 1));
                         }});
        if (last) break;
    }
    steps.push_back({" ", [](const TNode& N) { return N.See(31, 10, "TOP TEN FOR 03/15/2026"); }});
    steps.push_back({" ", [](const TNode& N) { return N.SeeMenu(); }});
    steps.push_back({"2", SeeBoard});
    steps.push_back({" ", [](const TNode& N) { return N.SeeMenu(); }});
    steps.push_back({"q", [](const TNode& N) { return N.Bbs->WaitExit(10s).has_value(); }});
    return steps;
}

TEST(ManyNodes, EightCallersDroppingAtRandomMomentsLoseNoScore) {
    TTempDir dir;
    InstallGlimra(dir.Path(), "0\n300\n\n");
    std::mt19937 random(20260315);
    std::vector<TNode> nodes;
    std::vector<std::vector<TStep>> scripts;
    std::vector<std::size_t> dropAt; // the step after whose keys the caller hangs up
    for (int n = 1; n <= kNodes; ++n) {
        nodes.emplace_back("Dropper" + std::to_string(n), n);
        scripts.push_back(Script(n));
        dropAt.push_back(
            std::uniform_int_distribution<std::size_t>(0, scripts.back().size() - 1)(random));
    }
    for (TNode& node : nodes) node.Start(dir.Path());

    std::vector<bool> gone(kNodes, false);
    std::vector<bool> sawGame(kNodes, false), sawEnd(kNodes, false);
    for (std::size_t step = 0; std::find(gone.begin(), gone.end(), false) != gone.end(); ++step) {
        for (std::size_t i = 0; i < nodes.size(); ++i)
            if (!gone[i] && step < scripts[i].size()) nodes[i].Send(scripts[i][step].Keys);
        // The callers who drop now do so while their door is still at work on these keys.
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 150)(random)));
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            if (gone[i]) continue;
            if (step >= scripts[i].size()) {
                gone[i] = true;
                continue;
            }
            if (dropAt[i] == step) {
                nodes[i].Bbs->CallerPump(0ms);
                nodes[i].Bbs->CallerHangUp();
                gone[i] = true;
                continue;
            }
            ASSERT_TRUE(scripts[i][step].Until(nodes[i]))
                << nodes[i].Alias << " step " << step << "\n"
                << nodes[i].Screen().Dump();
        }
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            const std::string& seen = nodes[i].Bbs->CallerReceived();
            sawGame[i] = sawGame[i] || seen.find("Enter Guess 1: ") != std::string::npos;
            sawEnd[i] = sawEnd[i] || seen.find("The Word Was: CIDER") != std::string::npos;
        }
    }
    for (TNode& node : nodes) EXPECT_EQ(node.Bbs->WaitExit(10s), 0) << node.Alias;

    // At most one row per caller; a caller who saw a game has one; one who saw its end has its
    // points.
    std::map<std::string, std::vector<std::int64_t>> stored;
    for (const TScoreRow& row : ScoreRows(dir.Path())) {
        EXPECT_EQ(row.Date, kToday) << row.Name;
        EXPECT_EQ(row.Name.rfind("Dropper", 0), 0u) << "a row of an unknown caller";
        stored[row.Name].push_back(row.Score);
    }
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const auto& scores = stored[nodes[i].Alias];
        const std::int64_t points = Points(static_cast<int>(i) + 1);
        EXPECT_LE(scores.size(), 1u) << nodes[i].Alias;
        if (sawGame[i]) {
            EXPECT_EQ(scores.size(), 1u) << nodes[i].Alias << " saw the game";
        }
        if (sawEnd[i]) {
            EXPECT_EQ(scores, std::vector<std::int64_t>{points}) << nodes[i].Alias;
        }
        if (!scores.empty()) {
            EXPECT_TRUE(scores[0] == 0 || scores[0] == points) << nodes[i].Alias << scores[0];
        }
    }
    ExpectWordsOfTheMonth(dir.Path());
    EXPECT_EQ(IntegrityCheck(dir.Path()), "ok");
}

} // namespace
