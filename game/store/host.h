// What the store needs of the door it runs in, handed down as plain callbacks, so that the store
// includes nothing of the kit beyond its log. The program sets them once at start
// (game/app/storehost.cpp); until then a store step waits and sleeps on its own and shows nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct TStoreHost {
    // The caller's name in every score row.
    std::function<std::string()> CallerAlias = [] { return std::string(); };
    // Whether a wait for the database may go on: no ending signal, the caller there, time left.
    std::function<bool()> MayKeepWaiting = [] { return true; };
    // Writes the wait line (blanks remove it) where the caller sees it.
    std::function<void(const std::string&)> ShowWaitLine = [](const std::string&) {};
    // One short sleep in a wait for a lock; false when the door is ending meanwhile.
    std::function<bool(std::int32_t)> Sleep;
    // The pause between two attempts of a step.
    std::function<void(std::int32_t)> Pause;
    // The caller waited for the database, not idled: the idle limit starts afresh.
    std::function<void()> CallerWaited = [] {};
    // Why a wait ended without the step ("an ending signal", "the caller hung up", ...).
    std::function<const char*()> WhyWaitEnded = [] { return "the caller's time is up"; };
    // Ends the door for whatever ended the wait; returns only when a hook lets the door go on.
    std::function<void()> EndSession = [] {};
    // A line on the local console only (the start-up upgrade's progress).
    std::function<void(const std::string&)> LocalNotice = [](const std::string&) {};
    // Waits up to AMs for the socket ASocket (a league server's) to have something to read;
    // true when it has. A wait that ends early is harmless: the caller looks and waits again.
    std::function<bool(int, std::int32_t)> WaitReadable;
    // The same for the socket to take data: a connect in progress has ended once it does.
    std::function<bool(int, std::int32_t)> WaitWritable;
    // Makes a written file (or a directory's new entry) durable; false when that failed.
    std::function<bool(const std::string&)> SyncToDisk = [](const std::string&) { return true; };
};

// The one host of the process.
TStoreHost& StoreHost();
