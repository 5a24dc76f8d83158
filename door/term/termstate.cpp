// The terminal layer's one state object, and the accessors that reach into it.
#include "door/term/termstate.h"

TTermState& TermState() {
    static TTermState state;
    return state;
}

TScreen& LocalScreen() {
    return TermState().Screen;
}

std::unique_ptr<TConsoleBackend>& ConsoleBackendSlot() {
    return TermState().Console;
}
