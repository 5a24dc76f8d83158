// The kit's one session object.
#include "door/state.h"

TDoorState& DoorState() {
    static TDoorState state;
    return state;
}
