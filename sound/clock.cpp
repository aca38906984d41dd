// The show clock: what the device has played, in thousandths of a beat.
#include "sound/sound.h"

#include "demo/demo.h"

namespace sound {

static std::int32_t last;

std::int32_t clockunits(std::uint32_t written, std::uint32_t queued)
{
    std::uint32_t played = written >= queued ? written - queued : 0;
    // bytespersecond is 176400; 97/60 beats per second, held in single
    // precision as the show always has.
    return static_cast<std::int32_t>(played / static_cast<double>(bytespersecond) * 1.6166667f * 1000);
}

// Main thread. The queue is asked first, then the count: a write that lands
// in between can only make the clock a little early, never negative.
// Device delay reports can jump backwards; the clock holds instead.
std::int32_t time()
{
    std::uint32_t q = queued();
    std::int32_t t = clockunits(demo::written.load(std::memory_order_relaxed), q);
    if (t < last)
        t = last;
    last = t;
    return t;
}

void resetclock()
{
    last = 0;
}

}
