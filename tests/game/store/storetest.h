// The store tests' fixture, one suite over every back-end: each back-end's list instantiates it
// (SQLite in database_test.cpp, PostgreSQL in leaguestore_posix_test.cpp).
#pragma once

#include "tests/support/kit_fixture.h"

#include <memory>
#include <ostream>
#include <string>
#include <vector>

// A back-end under test: Make sets up a fresh database with these answer words and returns its
// store; Sql runs a statement on that database the way its own client would.
struct TBackEnd {
    const char* Name;
    std::unique_ptr<TGameStore> (*Make)(const std::vector<std::string>& AAnswers);
    std::vector<std::string> (*Sql)(const std::string& ASql);
};
inline void PrintTo(const TBackEnd& ABackEnd, std::ostream* AOut) {
    *AOut << ABackEnd.Name; // the test's name in ctest
}

// The game's store steps on every back-end, through the process store as the game reaches it.
class StoreTest : public KitTest, public testing::WithParamInterface<TBackEnd> {
  protected:
    void Use(const std::vector<std::string>& AAnswers) { SetGameStore(GetParam().Make(AAnswers)); }
    static std::vector<std::string> Sql(const std::string& ASql) { return GetParam().Sql(ASql); }
    void TearDown() override {
        SetGameStore(nullptr);
        KitTest::TearDown();
    }
};
