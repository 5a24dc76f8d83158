// makedb --league: the league's PostgreSQL database, run as its administrator through libpq.
// Builds or completes the schema (data/league.sql), the word lists and the totals; gives a board
// its login role (--add-board) or takes the login away (--remove-board). Values are bound; only
// DDL, which takes no parameters, has names and the password's verifier quoted into it by libpq.
// No text this prints holds the connection string or a password, except the board's connection
// string on the last line of --add-board.
#include "data/makedb/makedb.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <random>

namespace fs = std::filesystem;

namespace {

// Takes every secret (the connection string, passwords, the verifier) out of a text.
class TScrubber {
  public:
    void Add(const std::string& ASecret) {
        if (ASecret.empty()) return;
        FSecrets.push_back(ASecret);
        // Longest first, so that a secret inside another is not left half shown.
        std::sort(FSecrets.begin(), FSecrets.end(),
                  [](const auto& a, const auto& b) { return a.size() > b.size(); });
    }
    std::string operator()(std::string AText) const {
        for (const auto& secret : FSecrets)
            for (auto at = AText.find(secret); at != std::string::npos;
                 at = AText.find(secret, at + 3))
                AText.replace(at, secret.size(), "***");
        return AText;
    }

  private:
    std::vector<std::string> FSecrets;
};

std::string Trimmed(std::string AText) {
    while (!AText.empty() && (AText.back() == '\n' || AText.back() == ' ')) AText.pop_back();
    for (auto& c : AText)
        if (c == '\n' || c == '\t') c = ' ';
    return AText;
}

// libpq quotes pieces of a connection string it cannot read: every quoted part goes.
std::string WithoutQuotedParts(const std::string& AText) {
    std::string text;
    bool quoted = false;
    for (char c : AText) {
        if (c == '"') {
            text += quoted ? "...\"" : "\"";
            quoted = !quoted;
        } else if (!quoted) {
            text += c;
        }
    }
    return text;
}

// A text as a URI part: all but A-Z a-z 0-9 - . _ ~ as %XX.
std::string UriEncoded(const std::string& AText) {
    std::string text;
    for (unsigned char c : AText) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            text += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            text += hex;
        }
    }
    return text;
}

// The password as the connection string spells it (a URI's user:password@, key=value's
// password=...), besides the decoded value libpq reads from it: each is a secret.
void AddPasswordSpellings(const std::string& AConnection, TScrubber& AScrub) {
    const auto scheme = AConnection.find("://");
    if (scheme != std::string::npos) {
        const auto end = AConnection.find_first_of("/?", scheme + 3);
        const auto userInfo = AConnection.substr(scheme + 3, end - scheme - 3);
        const auto at = userInfo.rfind('@'), colon = userInfo.find(':');
        if (at != std::string::npos && colon < at)
            AScrub.Add(userInfo.substr(colon + 1, at - colon - 1));
    }
    for (auto at = AConnection.find("password="); at != std::string::npos;
         at = AConnection.find("password=", at + 1)) {
        const auto from = at + 9;
        AScrub.Add(AConnection.substr(from, AConnection.find_first_of(" &\t\n", from) - from));
    }
}

// The administrator's connection to the league's database.
class TAdmin {
  public:
    explicit TAdmin(const std::string& AConnection) {
        Scrub.Add(AConnection);
        AddPasswordSpellings(AConnection, Scrub);
        char* error = nullptr;
        PQconninfoOption* options = PQconninfoParse(AConnection.c_str(), &error);
        if (!options) {
            const std::string why = error ? WithoutQuotedParts(Trimmed(error)) : "out of memory";
            PQfreemem(error);
            throw TFailure{"the connection string cannot be read: " + why};
        }
        for (auto* option = options; option->keyword; ++option)
            if (option->val && std::strcmp(option->keyword, "password") == 0) {
                Scrub.Add(option->val);
                Scrub.Add(UriEncoded(option->val));
            }
        PQconninfoFree(options);
        FConn = PQconnectdb(AConnection.c_str());
        if (PQstatus(FConn) != CONNECTION_OK) {
            const std::string why = Trimmed(PQerrorMessage(FConn));
            PQfinish(FConn);
            throw TFailure{"cannot connect to the league's database: " + Scrub(why)};
        }
        if (const char* password = PQpass(FConn)) Scrub.Add(password); // from a password file
        PQsetNoticeProcessor(
            FConn, [](void*, const char*) {}, nullptr);
        Exec("SET search_path TO public");
    }
    ~TAdmin() { PQfinish(FConn); }
    TAdmin(const TAdmin&) = delete;
    TAdmin& operator=(const TAdmin&) = delete;

    // Runs ASql with AParams bound to $1..; the rows (NULL as ""). Without parameters ASql may
    // be several statements.
    std::vector<std::vector<std::string>> Query(const std::string& ASql,
                                                const std::vector<std::string>& AParams = {}) {
        std::vector<const char*> values;
        for (const auto& param : AParams) values.push_back(param.c_str());
        std::unique_ptr<PGresult, decltype(&PQclear)> result(
            AParams.empty() ? PQexec(FConn, ASql.c_str())
                            : PQexecParams(FConn, ASql.c_str(), static_cast<int>(values.size()),
                                           nullptr, values.data(), nullptr, nullptr, 0),
            PQclear);
        const auto status = PQresultStatus(result.get());
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            throw TFailure{Scrub(Trimmed(PQerrorMessage(FConn)))};
        FChanged = std::atol(PQcmdTuples(result.get()));
        std::vector<std::vector<std::string>> rows(
            static_cast<std::size_t>(PQntuples(result.get())));
        for (std::size_t row = 0; row < rows.size(); ++row)
            for (int col = 0; col < PQnfields(result.get()); ++col)
                rows[row].push_back(PQgetvalue(result.get(), static_cast<int>(row), col));
        return rows;
    }
    // Runs ASql; the number of rows it changed.
    long Exec(const std::string& ASql, const std::vector<std::string>& AParams = {}) {
        Query(ASql, AParams);
        return FChanged;
    }
    // A name quoted for DDL.
    std::string Name(const std::string& AName) const { return Escaped(AName, PQescapeIdentifier); }
    std::string Literal(const std::string& AText) const { return Escaped(AText, PQescapeLiteral); }

    PGconn* Conn() const { return FConn; }
    std::string Database() const { return PQdb(FConn); }
    // What messages call the database: its name, host and port (never the connection string).
    std::string Describe() const {
        return "the league database " + Database() + " on " + PQhost(FConn) + ":" + PQport(FConn);
    }

    TScrubber Scrub;

  private:
    template <class TQuote> std::string Escaped(const std::string& AText, TQuote AQuote) const {
        char* quoted = AQuote(FConn, AText.c_str(), AText.size());
        if (!quoted) throw TFailure{Scrub(Trimmed(PQerrorMessage(FConn)))};
        std::string text = quoted;
        PQfreemem(quoted);
        return text;
    }

    PGconn* FConn = nullptr;
    long FChanged = 0;
};

std::string Count(long long ACount, const char* AOne, const char* AMany) {
    return std::to_string(ACount) + " " + (ACount == 1 ? AOne : AMany);
}

// Score rows in the database; -1 when it has no league tables yet.
long long CountScores(TAdmin& AAdmin) {
    if (AAdmin.Query("SELECT to_regclass('tblScores')")[0][0].empty()) return -1;
    return std::stoll(AAdmin.Query("SELECT count(*) FROM tblScores")[0][0]);
}

// The list as a text[] literal (the words are checked: a-z only).
std::string WordArray(const std::vector<std::string>& AWords) {
    std::string text = "{";
    for (const auto& word : AWords) text += (text.size() > 1 ? "," : "") + word;
    return text + "}";
}

// Adds the words each table lacks: answers to tblWords, answers and accepted guesses to
// tblAllWords (looked up without regard to case). The numbers added.
std::pair<long, long> InsertWords(TAdmin& AAdmin, const std::vector<std::string>& AAnswers,
                                  const std::vector<std::string>& AAllowed) {
    const long answers =
        AAdmin.Exec("INSERT INTO tblWords (strWord) SELECT DISTINCT w FROM unnest($1::text[]) AS w "
                    "WHERE NOT EXISTS (SELECT 1 FROM tblWords t WHERE t.strWord = w)",
                    {WordArray(AAnswers)});
    std::vector<std::string> all = AAnswers;
    all.insert(all.end(), AAllowed.begin(), AAllowed.end());
    const long guesses = AAdmin.Exec(
        "INSERT INTO tblAllWords (strWord) SELECT DISTINCT w FROM unnest($1::text[]) AS w "
        "WHERE NOT EXISTS (SELECT 1 FROM tblAllWords a WHERE lower(a.strWord) = lower(w))",
        {WordArray(all)});
    return {answers, guesses};
}

// The totals afresh from the scores, as the trigger on tblScores keeps them.
void RebuildTotals(TAdmin& AAdmin) {
    AAdmin.Exec("DELETE FROM tblTotals; DELETE FROM tblMonthTotals;"
                "INSERT INTO tblTotals (strBoard, strUserName, intTotal) "
                "SELECT strBoard, strUserName, sum(intScore) FROM tblScores GROUP BY 1, 2;"
                "INSERT INTO tblMonthTotals (strMonth, strBoard, strUserName, intTotal, intDays) "
                "SELECT to_char(dtDate, 'YYYY-MM'), strBoard, strUserName, sum(intScore), "
                "count(*) FROM tblScores GROUP BY 1, 2, 3");
}

// --league: builds the database, replaces its game tables (keeping the boards), or with --add
// completes it; the lists and schema are read before connecting.
int BuildLeague(const TOptions& AOptions, const fs::path& ADataDir) {
    const auto path = [&](const std::string& AGiven, const char* ADefault) {
        return AGiven.empty() ? (ADataDir / ADefault).string() : AGiven;
    };
    const std::string schema = ReadFile(path(AOptions.Schema, "league.sql"));
    const auto answers = ReadWords(path(AOptions.Answers, "words/answers.txt"));
    const auto allowed = ReadWords(path(AOptions.Allowed, "words/allowed.txt"));
    if (answers.empty())
        throw TFailure{path(AOptions.Answers, "words/answers.txt") + " holds no answer words"};
    TAdmin admin(AOptions.League);
    const long long scores = CountScores(admin);
    if (scores > 0 && !AOptions.Add && !AOptions.Force)
        throw TFailure{admin.Describe() + " holds " + Count(scores, "score", "scores") +
                       "; not replacing it (use --add to add new words and keep everything, or "
                       "--force to replace it and lose the scores)"};
    admin.Exec("BEGIN");
    if (!AOptions.Add)
        admin.Exec("DROP TABLE IF EXISTS tblSpoolApplied, tblScores, tblTotals, tblMonthTotals, "
                   "tblWordsByDate, tblAllWords, tblWords CASCADE");
    admin.Exec(schema);
    const auto [added, guesses] = InsertWords(admin, answers, allowed);
    RebuildTotals(admin);
    // Only the boards' roles connect (makedb --add-board grants each its own).
    admin.Exec("REVOKE CONNECT ON DATABASE " + admin.Name(admin.Database()) + " FROM PUBLIC");
    // A database restored from a dump lacks the boards' rights to connect: they come back.
    for (const auto& row : admin.Query("SELECT strRole FROM tblBoards JOIN pg_roles ON rolname = "
                                       "strRole"))
        admin.Exec("GRANT CONNECT ON DATABASE " + admin.Name(admin.Database()) + " TO " +
                   admin.Name(row[0]));
    admin.Exec("COMMIT");
    const char* done = AOptions.Add ? "added to"
                       : scores < 0 ? "built"
                                    : "replaced the game tables of";
    std::cout << Me << ": " << done << " " << admin.Describe() << ": "
              << Count(added, "answer word", "answer words") << " and "
              << Count(guesses, "accepted guess", "accepted guesses")
              << (AOptions.Add ? "; its scores, boards and the words of its dates are kept"
                               : "; its boards are kept")
              << "\n";
    return EXIT_OK;
}

// The board's role: glimra_<database>_<tag>, lower case (roles belong to the whole server, so
// the database's name keeps two leagues on one server apart).
std::string BoardRole(const std::string& ADatabase, const std::string& ATag) {
    std::string role = "glimra_" + ADatabase + "_" + ATag;
    for (auto& c : role) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (role.size() > 63)
        throw TFailure{"the board's role name " + role + " is longer than PostgreSQL's 63 bytes"};
    return role;
}

std::string NewPassword() {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device device;
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    std::string password;
    for (int i = 0; i < 32; ++i) password += kLetters[pick(device)];
    return password;
}

// The board's connection string: the administrator's host, port and database (and TLS mode when
// it asked for one), with the board's role and password.
std::string BoardConnection(TAdmin& AAdmin, const std::string& ARole,
                            const std::string& APassword) {
    const std::string host = PQhost(AAdmin.Conn()), port = PQport(AAdmin.Conn());
    const bool ipv6 = host.find(':') != std::string::npos && host[0] != '/';
    std::string uri = "postgresql://" + UriEncoded(ARole) + ":" + UriEncoded(APassword) + "@" +
                      (ipv6 ? "[" + host + "]" : UriEncoded(host)) +
                      (port.empty() ? "" : ":" + port) + "/" + UriEncoded(AAdmin.Database());
    std::unique_ptr<PQconninfoOption, decltype(&PQconninfoFree)> options(PQconninfo(AAdmin.Conn()),
                                                                         PQconninfoFree);
    for (auto* option = options.get(); option && option->keyword; ++option)
        if (std::strcmp(option->keyword, "sslmode") == 0 && option->val &&
            std::strncmp(option->val, "verify-", 7) == 0)
            uri += std::string("?sslmode=") + option->val;
    return uri;
}

// Fails unless makedb --league has made the database's tables.
void RequireLeague(TAdmin& AAdmin) {
    if (AAdmin.Query("SELECT to_regclass('tblBoards')")[0][0].empty())
        throw TFailure{AAdmin.Describe() + " has no league tables yet: run " + Me +
                       " --league first"};
}

// --add-board: the board's login role with its password (a new role, or an existing one given
// its login back), its rights and its tblBoards row, in one transaction.
int AddBoard(const TOptions& AOptions) {
    TAdmin admin(AOptions.League);
    RequireLeague(admin);
    const std::string& tag = AOptions.AddBoard;
    const std::string role = BoardRole(admin.Database(), tag);
    const std::string password = AOptions.PasswordGiven ? AOptions.Password : NewPassword();
    admin.Scrub.Add(password);
    // The server gets a SCRAM verifier, never the password: DDL is logged and replicated.
    std::unique_ptr<char, decltype(&PQfreemem)> verifier(
        PQencryptPasswordConn(admin.Conn(), password.c_str(), role.c_str(), "scram-sha-256"),
        PQfreemem);
    if (!verifier)
        throw TFailure{"cannot make the password's verifier: " +
                       admin.Scrub(Trimmed(PQerrorMessage(admin.Conn())))};
    admin.Scrub.Add(verifier.get());
    const bool existed = !admin.Query("SELECT 1 FROM pg_roles WHERE rolname = $1", {role}).empty();
    admin.Exec("BEGIN");
    admin.Exec((existed ? "ALTER ROLE " : "CREATE ROLE ") + admin.Name(role) + " LOGIN PASSWORD " +
               admin.Literal(verifier.get()));
    admin.Exec("GRANT glimra_board TO " + admin.Name(role));
    admin.Exec("GRANT CONNECT ON DATABASE " + admin.Name(admin.Database()) + " TO " +
               admin.Name(role));
    admin.Exec("INSERT INTO tblBoards (strBoard, strRole) VALUES ($1, $2) ON CONFLICT (strBoard) "
               "DO UPDATE SET strRole = excluded.strRole",
               {tag, role});
    admin.Exec("COMMIT");
    std::cout << Me << ": board " << tag << " " << (existed ? "may log in again to" : "joined")
              << " " << admin.Describe() << " as role " << role
              << (AOptions.PasswordGiven ? " with the password given" : " with a new password")
              << ".\n"
              << Me << ": line 4 of the board's bbsglimra.cfg (line 5: " << tag << "):\n"
              << BoardConnection(admin, role, password) << "\n";
    return EXIT_OK;
}

// --remove-board: the board's role may no longer log in, and its open sessions end (where the
// administrator may end them); its row and scores stay, still ranked.
int RemoveBoard(const TOptions& AOptions) {
    TAdmin admin(AOptions.League);
    RequireLeague(admin);
    const std::string& tag = AOptions.RemoveBoard;
    const auto rows = admin.Query("SELECT strRole FROM tblBoards WHERE strBoard = $1", {tag});
    if (rows.empty()) throw TFailure{"board " + tag + " is not in " + admin.Describe()};
    const std::string& role = rows[0][0];
    admin.Exec("ALTER ROLE " + admin.Name(role) + " NOLOGIN");
    std::string sessions;
    try {
        sessions = admin.Query("SELECT count(*) FILTER (WHERE pg_terminate_backend(pid)) FROM "
                               "pg_stat_activity WHERE usename = $1",
                               {role})[0][0] +
                   " open sessions ended";
    } catch (const TFailure& failure) {
        sessions = "its open sessions end when their callers leave (" + failure.Message + ")";
    }
    std::cout << Me << ": board " << tag << " (role " << role << ") may no longer log in to "
              << admin.Describe() << "; its scores stay; " << sessions << "\n";
    return EXIT_OK;
}

} // namespace

int RunLeague(const TOptions& AOptions, const fs::path& ADataDir) {
    // Every text printed goes through the scrubber of the one connection string known here,
    // before any connection (a list that cannot be read, say).
    TScrubber scrub;
    scrub.Add(AOptions.League);
    AddPasswordSpellings(AOptions.League, scrub);
    if (AOptions.PasswordGiven) scrub.Add(AOptions.Password);
    try {
        if (!AOptions.AddBoard.empty()) return AddBoard(AOptions);
        if (!AOptions.RemoveBoard.empty()) return RemoveBoard(AOptions);
        return BuildLeague(AOptions, ADataDir);
    } catch (const TFailure& failure) {
        std::cerr << Me << ": " << scrub(failure.Message) << "\n";
    } catch (const std::exception& error) {
        std::cerr << Me << ": " << scrub(error.what()) << "\n";
    }
    return EXIT_FAILED;
}
