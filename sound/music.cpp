// The music thread: decode the soundtrack and feed the device.
#include "sound/sound.h"

#include "demo/demo.h"

namespace sound {

// A read error repeats on every call without end; a gap in the stream is
// reported once and decoding goes on. This many failures in a row with
// nothing decoded between them means the stream is finished for us.
enum { maxfailures = 64 };

// Music thread only. demo::written advances after each write returns, by
// what the stream took: never bytes it has not been handed. A device that
// takes whole stereo frames only (ALSA) leaves the odd half frame at the
// end of a mono stream unplayed, and uncounted.
void* play(void*)
{
    demo::written.store(0, std::memory_order_relaxed);
    char buffer[4096];
    int section;
    int failures = 0;
    for (bool end = false; !end;) {
        long n = ov_read(&demo::music, buffer, sizeof buffer, 0, 2, 1, &section);
        if (n == 0) {
            end = true;
        } else if (n < 0) {
            end = ++failures == maxfailures;
        } else {
            failures = 0;
            size_t taken = std::fwrite(buffer, 1, static_cast<size_t>(n), demo::dsp);
            demo::written.fetch_add(static_cast<std::uint32_t>(taken), std::memory_order_relaxed);
        }
    }
    return nullptr;
}

}
