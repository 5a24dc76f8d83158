// The league connection over libpq.
#include "game/store/postgres/pgconn.h"

#include "game/store/host.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <libpq-fe.h>

std::int32_t TPgConnection::StatementLimitMs = 10000;

namespace {

constexpr std::int32_t kWaitSliceMs = 100;

// Connection settings the door wants unless the sysop's string says otherwise: a bounded
// connect, and keepalives that notice a silent server within seconds.
constexpr std::array<std::array<const char*, 2>, 7> kDefaults{{
    {"connect_timeout", "5"},
    {"keepalives", "1"},
    {"keepalives_idle", "5"},
    {"keepalives_interval", "2"},
    {"keepalives_count", "2"},
    {"tcp_user_timeout", "10000"},
    {"application_name", "glimra"},
}};

// Text libpq gives that ends in a newline or two: one line for the log.
std::string OneLine(const char* AText) {
    std::string text = AText ? AText : "";
    std::replace(text.begin(), text.end(), '\n', ' ');
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// OneLine without the text inside double quotes.
std::string UnquotedLine(const char* AText) {
    std::string text;
    bool quoted = false;
    for (char c : OneLine(AText)) {
        if (c == '"')
            quoted = !quoted, text += quoted ? "\"...\"" : "";
        else if (!quoted)
            text += c;
    }
    return text;
}

// A refusal of the server by its SQLSTATE: what the caller is told and whether to try again.
TDatabaseFault FaultOf(const char* AState) {
    const std::string state = AState ? AState : "";
    if (state == "40001" || state == "40P01" || state == "55P03") return TDatabaseFault::Busy;
    if (state.starts_with("08") || state == "57P01" || state == "57P02" || state == "57P03")
        return TDatabaseFault::Unreachable;
    if (state == "53100") return TDatabaseFault::Full;
    if (state == "42P01") return TDatabaseFault::Missing;
    if (state == "42501") return TDatabaseFault::NotWritable;
    return TDatabaseFault::Other;
}

// A connection the server itself turned down (a wrong password, no such role or database) will be
// turned down again: that is the sysop's to mend, not a server that is away.
bool RefusedLogin(const std::string& AReason) {
    for (const char* words : {"authentication failed", "does not exist", "no pg_hba.conf entry",
                              "permission denied", "password"})
        if (AReason.find(words) != std::string::npos) return true;
    return false;
}

} // namespace

TPgResult::~TPgResult() {
    PQclear(FResult);
}

int TPgResult::Rows() const {
    return FResult ? PQntuples(FResult) : 0;
}

bool TPgResult::IsNull(int ARow, int ACol) const {
    return PQgetisnull(FResult, ARow, ACol) != 0;
}

std::string TPgResult::Text(int ARow, int ACol) const {
    return PQgetvalue(FResult, ARow, ACol);
}

std::int64_t TPgResult::Int(int ARow, int ACol) const {
    return IsNull(ARow, ACol) ? 0 : std::stoll(Text(ARow, ACol));
}

TPgConnection::TPgConnection(const std::string& AConnInfo) : FConnInfo(AConnInfo) {
    FSecrets.push_back(AConnInfo);
    char* why = nullptr;
    PQconninfoOption* options = PQconninfoParse(AConnInfo.c_str(), &why);
    if (!options) {
        // libpq quotes the word it stumbled on, which may be the password: quotes are dropped.
        FUnreadable = Scrub(UnquotedLine(why));
        PQfreemem(why);
        FName = "(an unreadable connection string)";
        return;
    }
    std::string host = "localhost", port = "5432", database;
    for (PQconninfoOption* option = options; option->keyword; ++option) {
        if (!option->val || !*option->val) continue;
        const std::string keyword = option->keyword, value = option->val;
        if (keyword == "password") FSecrets.push_back(value);
        if (keyword == "host") host = value;
        if (keyword == "port") port = value;
        if (keyword == "dbname" || (keyword == "user" && database.empty())) database = value;
    }
    PQconninfoFree(options);
    // Longest first, so that a password inside the string leaves nothing of the string behind.
    std::sort(FSecrets.begin(), FSecrets.end(),
              [](const std::string& A, const std::string& B) { return A.size() > B.size(); });
    FName = host + ":" + port + "/" + database;
}

TPgConnection::~TPgConnection() {
    Disconnect();
}

std::string TPgConnection::Scrub(std::string AText) const {
    for (const std::string& secret : FSecrets) {
        if (secret.empty()) continue;
        for (auto at = AText.find(secret); at != std::string::npos; at = AText.find(secret, at))
            AText.replace(at, secret.size(), "********"), at += 8;
    }
    return AText;
}

void TPgConnection::Connect() {
    if (!FUnreadable.empty())
        throw GameDatabaseError(TDatabaseFault::Other,
                                "The league's connection string (line 4 of bbsglimra.cfg) cannot "
                                "be read: " +
                                    FUnreadable);
    std::vector<const char*> keywords, values;
    for (const auto& [keyword, value] : kDefaults)
        keywords.push_back(keyword), values.push_back(value);
    // Then the sysop's string, expanded, so that what it sets overrides the defaults above.
    keywords.push_back("dbname"), values.push_back(FConnInfo.c_str());
    // Aliases are a BBS's bytes (CP437 and the like), not UTF-8: as Latin-1 every byte is a
    // character the server stores and gives back unchanged, whatever the database's encoding.
    keywords.push_back("client_encoding"), values.push_back("LATIN1");
    keywords.push_back(nullptr), values.push_back(nullptr);
    PGconn* conn = PQconnectStartParams(keywords.data(), values.data(), 1);
    const std::string ended = conn ? AwaitConnect(conn) : "";
    if (!conn || PQstatus(conn) != CONNECTION_OK) {
        const std::string reason =
            ended.empty() ? Scrub(OneLine(conn ? PQerrorMessage(conn) : "out of memory")) : ended;
        PQfinish(conn);
        const TDatabaseFault fault =
            RefusedLogin(reason) ? TDatabaseFault::Other : TDatabaseFault::Unreachable;
        throw GameDatabaseError(fault,
                                "The league database " + FName + " cannot be reached: " + reason);
    }
    // Notices (a table already there, ...) are nothing the caller or the BBS's log needs.
    PQsetNoticeProcessor(
        conn, [](void*, const char*) {}, nullptr);
    FConn = conn;
}

// The connect_timeout in force for AConn, in milliseconds; 0 for none.
static std::int64_t ConnectLimitMs(PGconn* AConn) {
    std::int64_t seconds = 0;
    PQconninfoOption* options = PQconninfo(AConn);
    for (PQconninfoOption* option = options; option && option->keyword; ++option)
        if (std::strcmp(option->keyword, "connect_timeout") == 0 && option->val)
            seconds = std::atoll(option->val);
    PQconninfoFree(options);
    return seconds > 0 ? seconds * 1000 : 0;
}

// Drives a connect begun with PQconnectStartParams in slices, as Await does a statement, so that
// an ending door or a caller gone is noticed within a slice even while a server's address does
// not answer; the connect_timeout bounds the whole. "" when libpq has finished (connected or
// failed, PQstatus says which); otherwise why the wait ended.
std::string TPgConnection::AwaitConnect(PGconn* AConn) {
    using namespace std::chrono;
    const auto start = steady_clock::now();
    const std::int64_t limitMs = ConnectLimitMs(AConn);
    // libpq asks for a wait to write first: the socket's connect is in progress.
    PostgresPollingStatusType state = PGRES_POLLING_WRITING;
    while (PQstatus(AConn) != CONNECTION_BAD && state != PGRES_POLLING_OK &&
           state != PGRES_POLLING_FAILED) {
        const auto waited = duration_cast<milliseconds>(steady_clock::now() - start).count();
        if (limitMs > 0 && waited >= limitMs) return "timeout expired";
        if (waited >= kWaitSliceMs && !StoreHost().MayKeepWaiting()) return "the wait ended";
        // libpq may be polled only once the socket is ready as it asked: early, it would give up.
        const bool ready = state == PGRES_POLLING_READING
                               ? StoreHost().WaitReadable(PQsocket(AConn), kWaitSliceMs)
                               : StoreHost().WaitWritable(PQsocket(AConn), kWaitSliceMs);
        if (ready) state = PQconnectPoll(AConn);
    }
    return "";
}

void TPgConnection::Disconnect() {
    PQfinish(FConn);
    FConn = nullptr;
    FPrepared.clear();
}

void TPgConnection::Broken(const char* AWhat, const std::string& AReason) {
    Disconnect();
    throw GameDatabaseError(TDatabaseFault::Unreachable,
                            "The league database " + FName + ": " + AWhat +
                                " failed, the server cannot be reached: " + AReason);
}

void TPgConnection::Refused(const char* AWhat, pg_result* AResult) {
    TDatabaseFault fault = FaultOf(PQresultErrorField(AResult, PG_DIAG_SQLSTATE));
    const std::string reason = Scrub(OneLine(PQresultErrorMessage(AResult)));
    PQclear(AResult);
    if (PQstatus(FConn) == CONNECTION_BAD) fault = TDatabaseFault::Unreachable;
    if (fault == TDatabaseFault::Unreachable) Broken(AWhat, reason);
    throw GameDatabaseError(fault,
                            "The league database " + FName + ": " + AWhat + " failed: " + reason);
}

// Waits for the whole answer in slices, so that an ending door, a caller gone or a server that
// does not answer within the limit ends a wait past the first slice: the statement is then
// cancelled.
void TPgConnection::Await(const char* AWhat) {
    using namespace std::chrono;
    const auto start = steady_clock::now();
    for (;;) {
        if (!PQconsumeInput(FConn)) Broken(AWhat, Scrub(OneLine(PQerrorMessage(FConn))));
        if (!PQisBusy(FConn)) return;
        const auto waited = duration_cast<milliseconds>(steady_clock::now() - start).count();
        // An answer within the first slice asks nothing: a door whose caller just hung up
        // still writes the score the game had.
        if (waited >= StatementLimitMs ||
            (waited >= kWaitSliceMs && !StoreHost().MayKeepWaiting())) {
            if (PGcancel* cancel = PQgetCancel(FConn)) {
                char why[256];
                PQcancel(cancel, why, sizeof why);
                PQfreeCancel(cancel);
            }
            Broken(AWhat, waited >= StatementLimitMs ? "no answer in time" : "the wait ended");
        }
        StoreHost().WaitReadable(PQsocket(FConn), kWaitSliceMs);
    }
}

// The statement's result: the first one, or the first refusal among several statements.
TPgResult TPgConnection::Collect(const char* AWhat) {
    Await(AWhat);
    PGresult *result = nullptr, *refusal = nullptr;
    while (PGresult* next = PQgetResult(FConn)) {
        const ExecStatusType status = PQresultStatus(next);
        PGresult*& keep =
            status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK ? refusal : result;
        if (keep)
            PQclear(next);
        else
            keep = next;
    }
    if (refusal) PQclear(result), Refused(AWhat, refusal);
    if (!result) Broken(AWhat, Scrub(OneLine(PQerrorMessage(FConn))));
    return TPgResult(result);
}

TPgResult TPgConnection::Run(const TPgStatement& AStatement,
                             const std::vector<std::string>& AParams) {
    if (!FConn) Connect();
    const int count = static_cast<int>(AParams.size());
    if (!FPrepared.contains(AStatement.Name)) {
        if (!PQsendPrepare(FConn, AStatement.Name, AStatement.Sql, count, nullptr))
            Broken(AStatement.Name, Scrub(OneLine(PQerrorMessage(FConn))));
        Collect(AStatement.Name);
        FPrepared.insert(AStatement.Name);
    }
    std::vector<const char*> values;
    for (const std::string& param : AParams) values.push_back(param.c_str());
    if (!PQsendQueryPrepared(FConn, AStatement.Name, count, values.data(), nullptr, nullptr, 0))
        Broken(AStatement.Name, Scrub(OneLine(PQerrorMessage(FConn))));
    return Collect(AStatement.Name);
}

TPgResult TPgConnection::RunPlain(const char* AWhat, const char* ASql) {
    if (!FConn) Connect();
    if (!PQsendQuery(FConn, ASql)) Broken(AWhat, Scrub(OneLine(PQerrorMessage(FConn))));
    return Collect(AWhat);
}
