// The store's one host, with waits of its own until the program sets it.
#include "game/store/host.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

void SleepFor(std::int32_t AMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(AMs));
}

} // namespace

TStoreHost& StoreHost() {
    static TStoreHost host = [] {
        TStoreHost made;
        made.Sleep = [](std::int32_t AMs) { return SleepFor(AMs), true; };
        made.Pause = SleepFor;
        // Without the kit: a short sleep, after which the caller looks again.
        made.WaitReadable = [](int, std::int32_t AMs) { return SleepFor(std::min(AMs, 5)), true; };
        made.WaitWritable = made.WaitReadable;
        return made;
    }();
    return host;
}
