// The score spool: one small text file per player and date in the door directory.
#include "game/store/postgres/spool.h"

#include "game/store/host.h"
#include "game/store/storeerror.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

std::string ScoreSpoolDir = "glimraspool";
TSpoolStepHook SpoolStepHook = nullptr;

void SpoolStep(const char* AStep) {
    if (SpoolStepHook) SpoolStepHook(AStep);
}

namespace {

constexpr const char* kHeader = "glimra score spool 1";
constexpr const char* kSuffix = ".score";
constexpr const char* kTempPrefix = ".tmp-";
// A temporary file older than this was left by a door that ended before renaming it.
constexpr auto kStaleTemp = std::chrono::minutes(1);
// File names stay well inside every file system's limit; a longer alias is cut and hashed.
constexpr std::size_t kMaxNameAlias = 120;

std::string FreshId() {
    static std::random_device device;
    std::ostringstream id;
    id << std::hex;
    for (int i = 0; i < 4; ++i) id << device();
    return id.str();
}

std::string NameAlias(const std::string& AUserName) {
    std::string encoded = SpoolEncode(AUserName);
    if (encoded.size() <= kMaxNameAlias) return encoded;
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a over the whole alias
    for (unsigned char c : AUserName) hash = (hash ^ c) * 1099511628211ull;
    std::ostringstream cut;
    cut << encoded.substr(0, kMaxNameAlias) << '~' << std::hex << hash;
    return cut.str();
}

bool IsHex(char C) {
    return (C >= '0' && C <= '9') || (C >= 'A' && C <= 'F') || (C >= 'a' && C <= 'f');
}

} // namespace

std::string SpoolEncode(const std::string& AText) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : AText) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            out += static_cast<char>(c);
        else
            out += {'%', digits[c >> 4], digits[c & 15]};
    }
    return out;
}

std::string SpoolDecode(const std::string& AText) {
    std::string out;
    for (std::size_t i = 0; i < AText.size(); ++i) {
        if (AText[i] == '%' && i + 2 < AText.size() && IsHex(AText[i + 1]) && IsHex(AText[i + 2])) {
            out += static_cast<char>(std::stoi(AText.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += AText[i];
        }
    }
    return out;
}

bool TScoreSpool::Ready(std::string& AWhy) const {
    std::error_code error;
    fs::create_directories(FDir, error);
    const fs::path probe = fs::path(FDir) / (kTempPrefix + FreshId());
    std::ofstream(probe).put('\n');
    const bool written = fs::remove(probe, error);
    if (!written) AWhy = "the score spool \"" + FDir + "\" cannot be written";
    return written;
}

std::string TScoreSpool::Keep(TSpoolEntry& AEntry) const {
    AEntry.Id = FreshId();
    const fs::path dir(FDir);
    const fs::path temp = dir / (kTempPrefix + AEntry.Id);
    const fs::path path =
        dir / (AEntry.Board + "." + AEntry.Date + "." + NameAlias(AEntry.UserName) + kSuffix);
    std::error_code error;
    fs::create_directories(dir, error);
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << kHeader << "\nid=" << AEntry.Id << "\nboard=" << AEntry.Board
            << "\nuser=" << SpoolEncode(AEntry.UserName) << "\ndate=" << AEntry.Date
            << "\nscore=" << AEntry.Score << "\nend\n";
        out.flush();
        if (!out) error = std::make_error_code(std::errc::io_error);
    }
    if (!error && !StoreHost().SyncToDisk(temp.string()))
        error = std::make_error_code(std::errc::io_error);
    if (!error) SpoolStep("written"), fs::rename(temp, path, error);
    // The directory's new entry too; a machine that crashes before has the entry or the old one.
    if (!error) StoreHost().SyncToDisk(FDir);
    if (error) {
        fs::remove(temp, error);
        throw GameDatabaseError(TDatabaseFault::NotWritable,
                                "The score spool \"" + FDir + "\" cannot be written: the score " +
                                    std::to_string(AEntry.Score) + " of " + AEntry.Date +
                                    " was not kept.");
    }
    SpoolStep("kept");
    return path.string();
}

std::vector<std::string> TScoreSpool::Waiting(const std::string& ABoard) const {
    std::vector<std::pair<fs::file_time_type, std::string>> found;
    std::error_code error;
    const auto now = fs::file_time_type::clock::now();
    for (const auto& item : fs::directory_iterator(FDir, error)) {
        const std::string name = item.path().filename().string();
        const auto time = item.last_write_time(error);
        if (error) continue;
        if (name.starts_with(kTempPrefix) && now - time > kStaleTemp)
            fs::remove(item.path(), error);
        else if (name.starts_with(ABoard + ".") && name.ends_with(kSuffix))
            found.emplace_back(time, item.path().string());
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> paths;
    for (auto& [time, path] : found) paths.push_back(std::move(path));
    return paths;
}

std::optional<TSpoolEntry> TScoreSpool::Read(const std::string& APath) const {
    std::ifstream in(APath, std::ios::binary);
    std::string line;
    if (!std::getline(in, line) || line != kHeader) return std::nullopt;
    TSpoolEntry entry;
    bool ended = false, scored = false;
    while (std::getline(in, line) && !ended) {
        const auto equals = line.find('=');
        const std::string key = line.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : line.substr(equals + 1);
        if (key == "id") entry.Id = value;
        if (key == "board") entry.Board = value;
        if (key == "user") entry.UserName = SpoolDecode(value);
        if (key == "date") entry.Date = value;
        if (key == "score") {
            try {
                entry.Score = std::stoi(value);
                scored = true;
            } catch (const std::exception&) {
                return std::nullopt;
            }
        }
        ended = line == "end";
    }
    if (!ended || !scored || entry.Id.empty() || entry.Board.empty() || entry.Date.size() != 10)
        return std::nullopt;
    return entry;
}

void TScoreSpool::Sent(const std::string& APath, const std::string& AId) const {
    const auto now = Read(APath);
    std::error_code error;
    if (now && now->Id == AId) fs::remove(APath, error);
    SpoolStep("removed");
}

void TScoreSpool::SetAside(const std::string& APath) const {
    std::error_code error;
    fs::rename(APath, APath + ".refused", error);
}
