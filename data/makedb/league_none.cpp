// makedb --league on a build without libpq (Windows): says so and does nothing.
#include "data/makedb/makedb.h"

#include <iostream>

int RunLeague(const TOptions&, const std::filesystem::path&) {
    std::cerr << Me << ": this build has no league support (PostgreSQL); use the Linux build of "
              << Me << " for --league\n";
    return EXIT_FAILED;
}
