// Whether the sound device is lost: the one flag the feeding thread sets
// and the main thread reads (sound/sound.h). Nothing else is handed over
// with it, so relaxed order is enough.
#include "sound/sound.h"

#include <atomic>

namespace sound {

static std::atomic<bool> gone;

void lose()
{
    gone.store(true, std::memory_order_relaxed);
}

bool lost()
{
    return gone.load(std::memory_order_relaxed);
}

}
