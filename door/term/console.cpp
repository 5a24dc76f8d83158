// The local console: the back-end is picked at first use (the platform's console on a terminal,
// headless otherwise) and every console call goes to it.
#include "door/term/console.h"

#include "door/platform/console.h"
#include "door/term/screen.h"

namespace {

TConsoleBackend& Backend() {
    auto& slot = ConsoleBackendSlot();
    if (!slot) slot = SystemConsole();
    if (!slot) slot = std::make_unique<TConsoleBackend>();
    return *slot;
}

} // namespace

void ConsoleRefresh() {
    Backend().Refresh(LocalScreen());
}
bool ConsoleKeyPressed() {
    return Backend().KeyPressed();
}
char ConsoleReadKey() {
    return Backend().ReadKey();
}
TWaitHandle ConsoleKeyFd() {
    return Backend().KeyHandle();
}
bool ConsoleInputEnded() {
    return Backend().InputEnded();
}
bool ConsoleIsTerminal() {
    return Backend().IsTerminal();
}

void ConsolePushKeys(const std::string& AKeys) {
    auto& backend = Backend();
    for (char c : AKeys) backend.Keys.Push(c);
}

void ConsoleUseHeadless() {
    ConsoleRestore();
    ConsoleBackendSlot() = std::make_unique<TConsoleBackend>();
}

void ConsoleUseTerminal(int AInFd, int AOutFd, bool AUtf8) {
    ConsoleRestore();
    auto terminal = TerminalConsole(AInFd, AOutFd, AUtf8);
    ConsoleBackendSlot() = terminal ? std::move(terminal) : std::make_unique<TConsoleBackend>();
}
