// The word lists makedb reads: one five-letter word a line.
#include "data/makedb/makedb.h"

#include <fstream>
#include <set>
#include <sstream>

namespace {

bool IsWord(const std::string& AText) {
    if (AText.size() != 5) return false;
    for (char c : AText)
        if (c < 'a' || c > 'z') return false;
    return true;
}

} // namespace

std::string ReadFile(const std::string& APath) {
    std::ifstream in(APath, std::ios::binary);
    if (!in)
        throw TFailure{"cannot read " + APath +
                       " (run this in the Glimra source directory, install Glimra, or name the "
                       "file)"};
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A bad list must not half-fill a database: the first bad line fails the whole.
std::vector<std::string> ReadWords(const std::string& APath) {
    std::istringstream in(ReadFile(APath));
    std::vector<std::string> words;
    std::set<std::string> seen;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        auto first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#') continue;
        auto last = line.find_last_not_of(" \t\r");
        std::string word = line.substr(first, last - first + 1);
        for (char& c : word)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (!IsWord(word))
            throw TFailure{APath + ":" + std::to_string(number) + ": \"" + word +
                           "\" is not a five-letter word"};
        if (seen.insert(word).second) words.push_back(word);
    }
    return words;
}
