// The installed word lists: the format the database builder reads, and the answer pool inside
// the guesses a caller may type.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace {

std::vector<std::string> ReadList(const std::string& AName) {
    std::ifstream in(std::string(GLIMRA_SOURCE_DIR) + "/data/words/" + AName, std::ios::binary);
    EXPECT_TRUE(in) << AName;
    std::vector<std::string> words;
    for (std::string line; std::getline(in, line);) words.push_back(line);
    return words;
}

TEST(WordLists, LowercaseFiveLetterWordsSortedWithoutRepeats) {
    const std::regex word("[a-z]{5}");
    for (const char* name : {"answers.txt", "allowed.txt"}) {
        SCOPED_TRACE(name);
        const auto words = ReadList(name);
        for (const auto& w : words) EXPECT_TRUE(std::regex_match(w, word)) << "'" << w << "'";
        EXPECT_TRUE(std::adjacent_find(words.begin(), words.end(), std::greater_equal<>()) ==
                    words.end());
    }
}

TEST(WordLists, EveryAnswerIsAnAcceptedGuessAndNoneIsOffensive) {
    const auto answers = ReadList("answers.txt");
    const auto allowed = ReadList("allowed.txt");
    EXPECT_GT(answers.size(), 1500u);
    EXPECT_GT(allowed.size(), 10000u);
    for (const auto& w : answers)
        EXPECT_TRUE(std::binary_search(allowed.begin(), allowed.end(), w)) << w;
    for (const char* w : {"bitch", "whore", "chink", "prick", "xviii"})
        EXPECT_FALSE(std::binary_search(answers.begin(), answers.end(), w)) << w;
    // Offensive words stay valid guesses: refusing a real word would only puzzle the caller.
    EXPECT_TRUE(std::binary_search(allowed.begin(), allowed.end(), "bitch"));
}

} // namespace
