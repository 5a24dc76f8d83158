// The league's database on a real PostgreSQL server that the test program starts itself
// (tests/support/pgserver.h): the server fixture, makedb --league and the board roles, and the
// rights the server itself enforces on each board.
#include "tests/support/pgserver.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(PgServerTest, FreshDatabasesOutliveAStoppedServer) {
    TPgServer& server = PgServer();
    const std::string first = server.FreshDatabase(), second = server.FreshDatabase();
    ASSERT_NE(first, second);
    PgRows(server.AdminConnection(first), "CREATE TABLE t (a int)");
    PgRows(server.AdminConnection(first), "INSERT INTO t VALUES ($1)", {"7"});
    EXPECT_THROW(PgRows(server.AdminConnection(second), "SELECT a FROM t"), std::runtime_error);
    EXPECT_THROW(PgRows(server.Connection(first, "postgres", "wrong"), "SELECT 1"),
                 std::runtime_error)
        << "the password is checked";
    server.Stop();
    EXPECT_FALSE(server.Running());
    EXPECT_THROW(PgRows(server.AdminConnection(first), "SELECT 1"), std::runtime_error);
    server.Start();
    EXPECT_EQ(PgRows(server.AdminConnection(first), "SELECT a FROM t"),
              std::vector<std::string>{"7"});
}

} // namespace
