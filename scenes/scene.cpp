// The timed-scene state machine.
#include "scenes/scene.h"

#include "demo/demo.h"

// waiting -> open hook -> active while t <= end -> close hook -> asleep.
// A first call already past `end` runs both hooks, in order. The clock
// never runs backwards, so no transition is undone.
bool scene::sleeping()
{
    std::int32_t t = demo::time;
    if (t < start)
        return true;
    if (!started) {
        started = true;
        init();
        t = demo::time;
    }
    if (t <= end)
        return false;
    if (!finished) {
        finished = true;
        cleanup();
    }
    return true;
}
