// The connection layer's one state object.
#include "door/net/netstate.h"

TNetState& NetState() {
    static TNetState state;
    return state;
}
