#include "tests/support/pgserver.h"

#include <libpq-fe.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <pwd.h>
#include <random>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char* const kInstallHint =
    "The league tests need a PostgreSQL server (initdb and pg_ctl under "
    "/usr/lib/postgresql/<version>/bin). Install it with tools/install-deps, or: "
    "apt-get install postgresql libpq-dev";

// The newest PostgreSQL's bin directory; empty when none is installed. GLIMRA_PG_BIN overrides.
fs::path ServerBin() {
    const char* given = std::getenv("GLIMRA_PG_BIN");
    fs::path best = given ? given : "";
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", ec))
        if (!given && fs::exists(entry.path() / "bin/initdb") &&
            std::atoi(entry.path().filename().c_str()) >
                std::atoi(best.parent_path().filename().c_str()))
            best = entry.path() / "bin";
    return fs::exists(best / "initdb") && fs::exists(best / "pg_ctl") ? best : fs::path();
}

std::string RandomHex(std::size_t ALength) {
    std::random_device device;
    std::string text;
    while (text.size() < ALength) text += "0123456789abcdef"[device() % 16];
    return text;
}

// A value quoted for a key=value connection string.
std::string Quoted(const std::string& AValue) {
    std::string text = "'";
    for (char c : AValue) {
        if (c == '\'' || c == '\\') text += '\\';
        text += c;
    }
    return text + "'";
}

const fs::path kScratchRoot = "/tmp";
const char* const kScratchPrefix = "glimra-pg-";

// Servers left by test programs killed before they could stop theirs: their owner is gone.
void SweepOrphans(const fs::path& ABin) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(kScratchRoot, ec)) {
        long owner = 0;
        if (entry.path().filename().string().rfind(kScratchPrefix, 0) != 0 ||
            !(std::ifstream(entry.path() / "owner.pid") >> owner) || owner <= 0 ||
            ::kill(static_cast<pid_t>(owner), 0) == 0 || errno != ESRCH)
            continue;
        std::vector<std::string> stop = {(ABin / "pg_ctl").string(),       "stop", "-D",
                                         (entry.path() / "data").string(), "-m",   "immediate"};
        if (::geteuid() == 0) stop.insert(stop.begin(), {"runuser", "-u", "postgres", "--"});
        RunProgram(stop);
        fs::remove_all(entry.path(), ec);
    }
}

} // namespace

TPgServer::TPgServer() : FBin(ServerBin()), FOwnerPid(::getpid()) {
    if (FBin.empty()) throw std::runtime_error(kInstallHint);
    SweepOrphans(FBin);
    std::string pattern = (kScratchRoot / (std::string(kScratchPrefix) + "XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make " + pattern);
    FDir = pattern;
    std::ofstream(FDir / "owner.pid") << FOwnerPid << '\n';
    if (::geteuid() == 0) {
        const passwd* user = ::getpwnam("postgres");
        if (!user)
            throw std::runtime_error(std::string("no postgres user to run the server as. ") +
                                     kInstallHint);
        if (::chown(FDir.c_str(), user->pw_uid, user->pw_gid) != 0)
            throw std::runtime_error("cannot hand " + FDir.string() + " to postgres");
    }
    // The superuser's password, in a file the server's user can read, for initdb only.
    FPassword = RandomHex(24);
    std::ofstream(FDir / "pwfile") << FPassword << '\n';
    RunAsOwner({"initdb", "-D", (FDir / "data").string(), "-U", "postgres", "-A", "scram-sha-256",
                "--pwfile", (FDir / "pwfile").string(), "-E", "UTF8", "--locale=C", "-N"},
               "initdb");
    fs::remove(FDir / "pwfile");
    Start();
}

TPgServer::~TPgServer() {
    if (::getpid() != FOwnerPid) return; // a forked child: the server is its parent's
    try {
        if (FRunning) Stop();
    } catch (const std::exception&) {
    }
    std::error_code ec;
    fs::remove_all(FDir, ec);
}

void TPgServer::RunAsOwner(const std::vector<std::string>& AArgs, const char* AWhat) const {
    std::vector<std::string> args = AArgs;
    args[0] = (FBin / args[0]).string();
    if (::geteuid() == 0) args.insert(args.begin(), {"runuser", "-u", "postgres", "--"});
    auto [code, text] = RunProgram(args);
    if (code == 0) return;
    std::ifstream log(FDir / "server.log");
    std::stringstream logText;
    logText << log.rdbuf();
    throw std::runtime_error(std::string("PostgreSQL test server: ") + AWhat + " failed (exit " +
                             std::to_string(code) + "): " + text + logText.str());
}

void TPgServer::Start() {
    const std::string options = "-c listen_addresses='' -k " + FDir.string() + " -p " +
                                std::to_string(FPort) +
                                " -c fsync=off -c synchronous_commit=off -c full_page_writes=off";
    RunAsOwner({"pg_ctl", "start", "-w", "-t", "60", "-D", (FDir / "data").string(), "-l",
                (FDir / "server.log").string(), "-o", options},
               "pg_ctl start");
    FRunning = true;
}

void TPgServer::Stop() {
    RunAsOwner({"pg_ctl", "stop", "-w", "-t", "60", "-m", "fast", "-D", (FDir / "data").string()},
               "pg_ctl stop");
    FRunning = false;
}

std::string TPgServer::FreshDatabase() {
    const std::string name = "t" + std::to_string(FOwnerPid) + "_" + std::to_string(++FDatabases);
    PgRows(AdminConnection(), "CREATE DATABASE " + name);
    return name;
}

std::string TPgServer::AdminConnection(const std::string& ADatabase) const {
    return Connection(ADatabase, "postgres", FPassword);
}

std::string TPgServer::Connection(const std::string& ADatabase, const std::string& ARole,
                                  const std::string& APassword) const {
    return "host=" + Quoted(FDir.string()) + " port=" + std::to_string(FPort) +
           " dbname=" + Quoted(ADatabase) + " user=" + Quoted(ARole) +
           " password=" + Quoted(APassword);
}

std::pair<int, std::string> RunProgram(const std::vector<std::string>& AArgs) {
    int out[2];
    if (::pipe(out) != 0) throw std::runtime_error("pipe failed");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::dup2(out[1], 2);
        ::close(out[0]);
        ::close(out[1]);
        std::vector<char*> argv;
        for (const auto& arg : AArgs) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    std::string text;
    char buf[4096];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR);)
        if (n > 0) text.append(buf, static_cast<std::size_t>(n));
    ::close(out[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
}

TPgServer& PgServer() {
    // Started once; a failed start is reported again to every test that asks, without retrying.
    static std::string failure;
    static std::unique_ptr<TPgServer> server;
    if (!server && failure.empty()) {
        try {
            server.reset(new TPgServer());
        } catch (const std::exception& e) {
            failure = e.what();
        }
    }
    if (!server) throw std::runtime_error(failure);
    return *server;
}

std::vector<std::string> PgRows(const std::string& AConnection, const std::string& ASql,
                                const std::vector<std::string>& AParams) {
    std::unique_ptr<PGconn, decltype(&PQfinish)> conn(PQconnectdb(AConnection.c_str()), PQfinish);
    if (PQstatus(conn.get()) != CONNECTION_OK)
        throw std::runtime_error(std::string("connection failed: ") + PQerrorMessage(conn.get()));
    std::vector<const char*> values;
    for (const auto& param : AParams) values.push_back(param.c_str());
    std::unique_ptr<PGresult, decltype(&PQclear)> result(
        AParams.empty() ? PQexec(conn.get(), ASql.c_str())
                        : PQexecParams(conn.get(), ASql.c_str(), static_cast<int>(values.size()),
                                       nullptr, values.data(), nullptr, nullptr, 0),
        PQclear);
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
        throw std::runtime_error(PQresultErrorMessage(result.get()));
    std::vector<std::string> rows;
    for (int row = 0; row < PQntuples(result.get()); ++row) {
        rows.emplace_back();
        for (int col = 0; col < PQnfields(result.get()); ++col)
            rows.back() += (col ? "|" : "") + std::string(PQgetvalue(result.get(), row, col));
    }
    return rows;
}
